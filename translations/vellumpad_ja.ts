<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>About Vellumpad</source>
        <translation>Vellumpad について</translation>
    </message>
    <message>
        <source>Vellumpad %1
An editor for one plain-text note at a time whose files on disk are always encrypted.
Released under the MIT licence.

File format: a .vpd file is the Base64 text, in lines of 64 characters, of the note&apos;s UTF-8 encrypted with AES-256 in CBC mode with PKCS#7 padding. The key is the lowercase hexadecimal MD5 of the password, without salt, and the initialisation vector is fixed, so equal notes give equal files and a password can be guessed quickly offline: choose a long password.

Where the password is kept (Edit → Preferences):
• In the preferences file (the default), in plain text readable by you only:
%2
It protects against other users of this computer, not against anyone who reads your files, a backup or a stolen disk.
• In the desktop keyring (GNOME Keyring, KWallet), encrypted under your login password: it protects against someone who reads your files or steals the disk, not against programs running as you while the keyring is unlocked.
• Nowhere: asked for at the first Open or Save of each run and held in memory only. Nothing is left on the disk, but programs running as you could still read it from memory.</source>
        <translation>Vellumpad %1
ディスク上のファイルが常に暗号化される、プレーンテキストのメモを 1 つずつ編集するエディタです。
MIT ライセンスで公開されています。

ファイル形式: .vpd ファイルは、メモの UTF-8 を AES-256 (CBC モード、PKCS#7 パディング) で暗号化したものを、64 文字ごとに改行した Base64 テキストです。鍵はパスワードの MD5 (ソルトなし) の小文字 16 進表記で、初期化ベクトルは固定です。そのため同じメモからは同じファイルができ、パスワードはオフラインで素早く推測され得ます。長いパスワードを選んでください。

パスワードの保管場所 (「編集」→「設定」):
• 設定ファイル (既定): あなただけが読めるプレーンテキストで、次の場所に保管します:
%2
このコンピュータの他のユーザーからは守られますが、あなたのファイルやバックアップを読む人、盗まれたディスクからは守られません。
• デスクトップのキーリング (GNOME キーリング、KWallet): ログインパスワードで暗号化されます。あなたのファイルを読む人やディスクの盗難からは守られますが、キーリングのロック解除中にあなたの権限で動くプログラムからは守られません。
• どこにも保管しない: 起動ごとに最初に開くか保存するときに尋ね、メモリ上にだけ保持します。ディスクには何も残りませんが、あなたの権限で動くプログラムはメモリから読み取れます。</translation>
    </message>
</context>
<context>
    <name>FailureText</name>
    <message>
        <source>an unexpected error occurred</source>
        <translation>予期しないエラーが発生しました</translation>
    </message>
    <message>
        <source>an unexpected error occurred (%1)</source>
        <translation>予期しないエラーが発生しました (%1)</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>ファイルがありません</translation>
    </message>
    <message>
        <source>the folder does not exist</source>
        <translation>フォルダーがありません</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>アクセスが拒否されました</translation>
    </message>
    <message>
        <source>its folder &quot;%1&quot; is not writable</source>
        <translation>フォルダー「%1」に書き込めません</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>フォルダーです</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>通常のファイルではありません</translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation>ディスクがいっぱいです</translation>
    </message>
    <message>
        <source>the disk is read-only</source>
        <translation>ディスクが読み取り専用です</translation>
    </message>
    <message>
        <source>it is too large to open</source>
        <translation>大きすぎて開けません</translation>
    </message>
    <message>
        <source>the file is too large</source>
        <translation>ファイルが大きすぎます</translation>
    </message>
    <message>
        <source>there is not enough memory</source>
        <translation>メモリが足りません</translation>
    </message>
    <message>
        <source>the disk reported an input/output error</source>
        <translation>ディスクが入出力エラーを報告しました</translation>
    </message>
    <message>
        <source>the name is too long</source>
        <translation>名前が長すぎます</translation>
    </message>
    <message>
        <source>the path has too many symbolic links</source>
        <translation>パスのシンボリックリンクが多すぎます</translation>
    </message>
    <message>
        <source>too many files are open</source>
        <translation>開いているファイルが多すぎます</translation>
    </message>
    <message>
        <source>the file is busy</source>
        <translation>ファイルが使用中です</translation>
    </message>
    <message>
        <source>no temporary file could be created beside it</source>
        <translation>同じ場所に一時ファイルを作れませんでした</translation>
    </message>
    <message>
        <source>the file text could not be read</source>
        <translation>ファイルの内容を読み取れませんでした</translation>
    </message>
    <message>
        <source>the note could not be read</source>
        <translation>メモを読み取れませんでした</translation>
    </message>
    <message>
        <source>wrong password or damaged file</source>
        <translation>パスワードが違うか、ファイルが壊れています</translation>
    </message>
    <message>
        <source>not a Vellumpad note, or damaged beyond opening</source>
        <translation>Vellumpad のメモではないか、開けないほど壊れています</translation>
    </message>
    <message>
        <source>it is not a note file (not text)</source>
        <translation>メモのファイルではありません (テキストではありません)</translation>
    </message>
    <message>
        <source>the note is not valid text</source>
        <translation>メモが有効なテキストではありません</translation>
    </message>
    <message>
        <source>the note could not be encrypted</source>
        <translation>メモを暗号化できませんでした</translation>
    </message>
    <message>
        <source>the stored password is unusable</source>
        <translation>保存されているパスワードが使用できません</translation>
    </message>
    <message>
        <source>the saved file could not be read back correctly</source>
        <translation>保存したファイルを正しく読み戻せませんでした</translation>
    </message>
    <message>
        <source>the file was replaced, but the folder could not be flushed to disk (%1)</source>
        <translation>ファイルは置き換えましたが、フォルダーをディスクに書き出せませんでした (%1)</translation>
    </message>
    <message>
        <source>it was changed by another program meanwhile</source>
        <translation>その間に別のプログラムが変更しました</translation>
    </message>
    <message>
        <source>Could not open &quot;%1&quot;. The note could not be decrypted: wrong password or damaged file.</source>
        <translation>「%1」を開けませんでした。メモを復号できません: パスワードが違うか、ファイルが壊れています。</translation>
    </message>
    <message>
        <source>Could not open &quot;%1&quot;: it is not a Vellumpad note, or it is damaged beyond opening.</source>
        <translation>「%1」を開けませんでした: Vellumpad のメモではないか、開けないほど壊れています。</translation>
    </message>
    <message>
        <source>Could not open &quot;%1&quot;: %2.</source>
        <translation>「%1」を開けませんでした: %2。</translation>
    </message>
    <message>
        <source>Could not save &quot;%1&quot;: %2.</source>
        <translation>「%1」を保存できませんでした: %2。</translation>
    </message>
    <message>
        <source>Could not remove &quot;%1&quot;: %2.</source>
        <translation>「%1」を削除できませんでした: %2。</translation>
    </message>
    <message>
        <source>Could not create &quot;%1&quot;: %2.</source>
        <translation>「%1」を作成できませんでした: %2。</translation>
    </message>
    <message>
        <source>Could not protect &quot;%1&quot;: %2.</source>
        <translation>「%1」を保護できませんでした: %2。</translation>
    </message>
    <message>
        <source>The note could not be decrypted: %1.</source>
        <translation>メモを復号できませんでした: %1。</translation>
    </message>
</context>
<context>
    <name>NotePasswordGuard</name>
    <message>
        <source>This note was saved without a password: anyone with the file can read it. Set one in Edit → Preferences (Ctrl+,).</source>
        <translation>このメモはパスワードなしで保存されました。ファイルを手にした人は誰でも読めます。「編集」→「設定」(Ctrl+,) でパスワードを設定してください。</translation>
    </message>
</context>
<context>
    <name>PasswordPlaces</name>
    <message>
        <source>The password was not moved, as it could not be read where it is kept now. %1</source>
        <translation>今の保管場所からパスワードを読み取れなかったため、移動していません。%1</translation>
    </message>
    <message>
        <source>Nothing was changed. %1</source>
        <translation>何も変更していません。%1</translation>
    </message>
    <message>
        <source>The password is now kept in the new place, but it could not be removed from the old one. %1</source>
        <translation>パスワードは新しい場所に保管されましたが、以前の場所から削除できませんでした。%1</translation>
    </message>
    <message>
        <source>The stored password is unusable, as it is not valid text (was the preferences file edited by hand?). Set the password again in Preferences.</source>
        <translation>保存されているパスワードが有効なテキストではないため使用できません (設定ファイルを手で編集しましたか？)。「設定」でパスワードを設定し直してください。</translation>
    </message>
    <message>
        <source>The preferences file cannot be written.</source>
        <translation>設定ファイルに書き込めません。</translation>
    </message>
    <message>
        <source>No desktop keyring answers: is GNOME Keyring or KWallet running?%1</source>
        <translation>デスクトップのキーリングが応答しません: GNOME キーリングか KWallet は動いていますか？%1</translation>
    </message>
    <message>
        <source>The desktop keyring refused access: it may be locked, its unlock cancelled.%1</source>
        <translation>デスクトップのキーリングがアクセスを拒否しました: ロックされたままで、ロック解除が取り消されたのかもしれません。%1</translation>
    </message>
    <message>
        <source>The desktop keyring failed.%1</source>
        <translation>デスクトップのキーリングでエラーが起きました。%1</translation>
    </message>
    <message>
        <source>The desktop keyring holds no Vellumpad password: it may be locked, its unlock cancelled, or the password was removed. Unlock it, or set the password again in Preferences.</source>
        <translation>デスクトップのキーリングに Vellumpad のパスワードがありません: ロックされたままでロック解除が取り消されたか、パスワードが削除されたのかもしれません。ロックを解除するか、「設定」でパスワードを設定し直してください。</translation>
    </message>
    <message>
        <source>No password was given.</source>
        <translation>パスワードが入力されませんでした。</translation>
    </message>
    <message>
        <source>The desktop keyring did not keep the password: reading it back gave something else.</source>
        <translation>デスクトップのキーリングはパスワードを保持しませんでした: 読み戻すと別の値でした。</translation>
    </message>
</context>
<context>
    <name>PasswordRetry</name>
    <message>
        <source>Try Another Password…</source>
        <translation>別のパスワードを試す…</translation>
    </message>
    <message>
        <source>That password does not open “%1” either.</source>
        <translation>そのパスワードでも「%1」を開けません。</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Edit one encrypted plain-text note.</source>
        <translation>暗号化されたプレーンテキストのメモを 1 つ編集します。</translation>
    </message>
    <message>
        <source>The note (.vpd) to open.</source>
        <translation>開くメモ (.vpd)。</translation>
    </message>
    <message>
        <source>Usage: vellumpad [file]
</source>
        <translation>使い方: vellumpad [file]
</translation>
    </message>
    <message>
        <source>vellumpad: one note at a time; opening &quot;%1&quot; and ignoring %2
</source>
        <translation>vellumpad: 一度に開けるメモは 1 つです。「%1」を開き、%2 は無視します
</translation>
    </message>
    <message>
        <source>Open Note</source>
        <translation>メモを開く</translation>
    </message>
    <message>
        <source>Vellumpad notes (*.vpd)</source>
        <translation>Vellumpad メモ (*.vpd)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>すべてのファイル (*)</translation>
    </message>
    <message>
        <source>Save Note</source>
        <translation>メモを保存</translation>
    </message>
    <message>
        <source>Vellumpad note (*.vpd)</source>
        <translation>Vellumpad メモ (*.vpd)</translation>
    </message>
    <message>
        <source>Unsaved changes</source>
        <translation>未保存の変更</translation>
    </message>
    <message>
        <source>Save the changes to “%1”?</source>
        <translation>「%1」への変更を保存しますか？</translation>
    </message>
    <message>
        <source>Your changes will be lost if you don&apos;t save them.</source>
        <translation>保存しないと、変更内容は失われます。</translation>
    </message>
    <message>
        <source>Password changed</source>
        <translation>パスワードの変更</translation>
    </message>
    <message>
        <source>This note was opened with a different password. Save it under the new password?</source>
        <translation>このメモは別のパスワードで開かれました。新しいパスワードで保存しますか？</translation>
    </message>
    <message>
        <source>Try Another Password</source>
        <translation>別のパスワードを試す</translation>
    </message>
    <message>
        <source>Password for “%1”:</source>
        <translation>「%1」のパスワード:</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>The file is read-only</source>
        <translation>ファイルは読み取り専用です</translation>
    </message>
    <message>
        <source>The file has changed on disk since it was opened</source>
        <translation>ファイルは開いた後にディスク上で変更されています</translation>
    </message>
    <message>
        <source>“%1” is marked read-only. Overwrite it all the same?</source>
        <translation>「%1」は読み取り専用に設定されています。それでも上書きしますか？</translation>
    </message>
    <message>
        <source>Overwriting “%1” loses what was changed there.</source>
        <translation>「%1」を上書きすると、そのファイルに加えられた変更は失われます。</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>パスワード</translation>
    </message>
    <message>
        <source>The password is kept nowhere: it is asked for once a run and held in memory only.</source>
        <translation>パスワードはどこにも保管されません: 起動ごとに一度尋ね、メモリ上にだけ保持します。</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>パスワード:</translation>
    </message>
    <message>
        <source>Repeat the password:</source>
        <translation>もう一度パスワードを入力してください:</translation>
    </message>
    <message>
        <source>The two passwords differ. Type the same password twice.</source>
        <translation>2 つのパスワードが一致しません。同じパスワードを 2 回入力してください。</translation>
    </message>
    <message>
        <source>Unlock to Save</source>
        <translation>ロックを解除して保存</translation>
    </message>
    <message>
        <source>The note is locked. Enter its password to unlock and save it:</source>
        <translation>メモはロックされています。ロックを解除して保存するには、パスワードを入力してください:</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>キャンセル(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Discard</source>
        <translation>破棄(&amp;D)</translation>
    </message>
    <message>
        <source>Save With &amp;New Password</source>
        <translation>新しいパスワードで保存(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Overwrite</source>
        <translation>上書き(&amp;O)</translation>
    </message>
    <message>
        <source>Save &amp;As…</source>
        <translation>名前を付けて保存(&amp;A)…</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>開く(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Unlock</source>
        <translation>ロック解除(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>OK(&amp;O)</translation>
    </message>
</context>
<context>
    <name>app::AppDelegate</name>
    <message>
        <source>The note is open, but its password could not be stored: the preferences file cannot be written. The earlier password stays in use.</source>
        <translation>メモは開きましたが、パスワードを保存できませんでした: 設定ファイルに書き込めません。以前のパスワードが引き続き使われます。</translation>
    </message>
    <message>
        <source>Opened %1</source>
        <translation>%1 を開きました</translation>
    </message>
    <message>
        <source>The note has not been saved.</source>
        <translation>メモは保存されていません。</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 を保存しました</translation>
    </message>
    <message>
        <source>Could not use &quot;%1&quot;: its location is not a valid file path. Nothing was changed.</source>
        <translation>「%1」を使えません: 有効なファイルパスではありません。何も変更されていません。</translation>
    </message>
    <message>
        <source>Could not use &quot;%1&quot;: the stored password is unusable, as it is not valid text (was the preferences file edited by hand?). Set the password again in Preferences.</source>
        <translation>「%1」を使えません: 保存されているパスワードが有効なテキストではないため使用できません (設定ファイルを手で編集しましたか？)。「設定」でパスワードを設定し直してください。</translation>
    </message>
    <message>
        <source>Could not use &quot;%1&quot;: %2</source>
        <translation>「%1」を使えません: %2</translation>
    </message>
    <message>
        <source>The note is open, but its password could not be stored. %1 The earlier password stays in use.</source>
        <translation>メモは開きましたが、パスワードを保存できませんでした。%1 以前のパスワードが引き続き使われます。</translation>
    </message>
    <message>
        <source>The unsaved changes could not be recovered: %1 The copy is kept.</source>
        <translation>未保存の変更を復元できませんでした: %1 コピーは残してあります。</translation>
    </message>
</context>
<context>
    <name>app::NoteLocking</name>
    <message>
        <source>Hide the note until its password is given</source>
        <translation>パスワードが入力されるまでメモを隠します</translation>
    </message>
    <message>
        <source>Set a password first (Edit → Preferences): a note without one cannot be locked.</source>
        <translation>先にパスワードを設定してください (「編集」→「設定」)。パスワードのないメモはロックできません。</translation>
    </message>
    <message>
        <source>Wrong password.</source>
        <translation>パスワードが違います。</translation>
    </message>
    <message>
        <source>Wrong password again. Wait a few seconds before trying again.</source>
        <translation>パスワードがまた違います。数秒待ってからもう一度試してください。</translation>
    </message>
</context>
<context>
    <name>app::RecentNotes</name>
    <message>
        <source>Re&amp;member recent notes</source>
        <translation>最近使ったメモを記憶する(&amp;M)</translation>
    </message>
</context>
<context>
    <name>app::RecoveryKeeper</name>
    <message>
        <source>Unsaved changes cannot be kept for recovery: %1</source>
        <translation>未保存の変更を復元用に保管できません: %1</translation>
    </message>
    <message>
        <source>Unsaved changes cannot be kept for recovery: the folder &quot;%1&quot; cannot be written.</source>
        <translation>未保存の変更を復元用に保管できません: フォルダ「%1」に書き込めません。</translation>
    </message>
    <message>
        <source>Unsaved changes could not be copied for recovery: %1</source>
        <translation>未保存の変更を復元用にコピーできませんでした: %1</translation>
    </message>
</context>
<context>
    <name>app::RecoveryOffer</name>
    <message>
        <source>Unsaved changes to %1 from %2 can be recovered.</source>
        <translation>%2 時点の %1 への未保存の変更を復元できます。</translation>
    </message>
    <message>
        <source>Unsaved changes kept from an earlier session cannot be read: the copy is damaged. It is kept in &quot;%1&quot;.</source>
        <translation>前回のセッションから保管されている未保存の変更を読み込めません: コピーが壊れています。「%1」に残してあります。</translation>
    </message>
    <message>
        <source>Unsaved changes from an earlier session can be recovered, but they do not open under the current password.</source>
        <translation>前回のセッションの未保存の変更を復元できますが、現在のパスワードでは開けません。</translation>
    </message>
    <message>
        <source>unsaved changes</source>
        <translation>未保存の変更</translation>
    </message>
    <message>
        <source>That password does not open the unsaved changes either.</source>
        <translation>そのパスワードでも未保存の変更を開けません。</translation>
    </message>
    <message>
        <source>Unsaved changes from an earlier session can be recovered with their password.</source>
        <translation>前回のセッションの未保存の変更は、そのパスワードで復元できます。</translation>
    </message>
</context>
<context>
    <name>preferences::LockPreferencesGroup</name>
    <message>
        <source>Lock</source>
        <translation>ロック</translation>
    </message>
    <message>
        <source>Lock after %1 minutes without use</source>
        <translation>操作しない時間が %1 分を超えたらロックする</translation>
    </message>
    <message>
        <source>Minutes without use before the note locks</source>
        <translation>メモがロックされるまでの無操作時間 (分)</translation>
    </message>
    <message>
        <source>Lock when the &amp;screen locks</source>
        <translation>画面がロックされたらロックする(&amp;S)</translation>
    </message>
    <message>
        <source>Unlocking will need the note&apos;s password. If you do not remember it, changes not yet saved are lost.</source>
        <translation>ロックの解除にはメモのパスワードが必要です。覚えていないと、保存していない変更は失われます。</translation>
    </message>
</context>
<context>
    <name>preferences::PasswordPlaceChoice</name>
    <message>
        <source>Where the password is kept</source>
        <translation>パスワードの保管場所</translation>
    </message>
    <message>
        <source>In the pre&amp;ferences file</source>
        <translation>設定ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>Plain text, readable by you only: anyone who reads your files or steals the disk can read it.</source>
        <translation>あなただけが読めるプレーンテキストです。あなたのファイルを読む人やディスクを盗んだ人は読めます。</translation>
    </message>
    <message>
        <source>In the desktop &amp;keyring</source>
        <translation>デスクトップのキーリング(&amp;K)</translation>
    </message>
    <message>
        <source>Encrypted under your login password: safe from someone who reads your files or steals the disk, not from programs running as you.</source>
        <translation>ログインパスワードで暗号化されます。あなたのファイルを読む人やディスクの盗難からは守られますが、あなたの権限で動くプログラムからは守られません。</translation>
    </message>
    <message>
        <source>&amp;Nowhere: ask when needed</source>
        <translation>どこにも保管しない: 必要なときに尋ねる(&amp;N)</translation>
    </message>
    <message>
        <source>Asked for at the first Open or Save of each run and held in memory only.</source>
        <translation>起動ごとに最初に開くか保存するときに尋ね、メモリ上にだけ保持します。</translation>
    </message>
</context>
<context>
    <name>preferences::PreferenceViewController</name>
    <message>
        <source>Preferences</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>The two passwords differ. Type the same password in both fields.</source>
        <translation>2 つのパスワードが一致しません。両方の欄に同じパスワードを入力してください。</translation>
    </message>
    <message>
        <source>S&amp;how password</source>
        <translation>パスワードを表示する(&amp;H)</translation>
    </message>
    <message>
        <source>Used to encrypt and decrypt notes from the next Open or Save on. Notes already saved keep the password they were saved with.</source>
        <translation>次に開くか保存するときから、メモの暗号化と復号に使われます。保存済みのメモは、保存したときのパスワードのままです。</translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation>パスワード(&amp;P):</translation>
    </message>
    <message>
        <source>&amp;Repeat:</source>
        <translation>パスワードの確認(&amp;R):</translation>
    </message>
    <message>
        <source>The password could not be stored: the preferences file cannot be written. The earlier password stays in use.</source>
        <translation>パスワードを保存できませんでした: 設定ファイルに書き込めません。以前のパスワードが引き続き使われます。</translation>
    </message>
    <message>
        <source>&amp;Generate</source>
        <translation>生成(&amp;G)</translation>
    </message>
    <message>
        <source>Kept in a place this version does not know: type a new one</source>
        <translation>このバージョンが知らない場所に保管されています: 新しいパスワードを入力してください</translation>
    </message>
    <message>
        <source>Kept in the desktop keyring: leave empty to keep it</source>
        <translation>デスクトップのキーリングに保管中: 空のままなら変更しません</translation>
    </message>
    <message>
        <source>Kept nowhere: leave empty to keep the one you have</source>
        <translation>どこにも保管していません: 空のままなら今のパスワードを使い続けます</translation>
    </message>
    <message>
        <source>The password could not be stored. %1 The earlier password stays in use.</source>
        <translation>パスワードを保存できませんでした。%1 以前のパスワードが引き続き使われます。</translation>
    </message>
    <message>
        <source>Fill both fields with 20 random letters and digits</source>
        <translation>両方の欄をランダムな英数字 20 文字で埋めます</translation>
    </message>
</context>
<context>
    <name>preferences::RecoveryCopiesOption</name>
    <message>
        <source>&amp;Keep encrypted copies of unsaved changes</source>
        <translation>未保存の変更を暗号化して保管する(&amp;K)</translation>
    </message>
    <message>
        <source>Unsaved changes are copied, encrypted, a few seconds after typing pauses, so that they can be recovered after a crash. The copy is removed once the note is saved or its changes discarded.</source>
        <translation>入力が止まってから数秒後に未保存の変更を暗号化してコピーし、クラッシュの後でも復元できるようにします。メモを保存するか変更を破棄すると、コピーは削除されます。</translation>
    </message>
</context>
<context>
    <name>preferences::StrengthMeter</name>
    <message>
        <source>Words and names from dictionaries are guessed first.</source>
        <translation>辞書にある単語や名前は真っ先に推測されます。</translation>
    </message>
    <message>
        <source>Swapping letters for look-alikes (@ for a, 0 for o) fools nobody.</source>
        <translation>文字を似た記号に置き換えても (a を @、o を 0 など) 見破られます。</translation>
    </message>
    <message>
        <source>Repeats such as &quot;aaa&quot; or &quot;abcabc&quot; add little.</source>
        <translation>「aaa」や「abcabc」のような繰り返しはほとんど強さを増しません。</translation>
    </message>
    <message>
        <source>Sequences such as &quot;abc&quot; or &quot;6543&quot; are easy to guess.</source>
        <translation>「abc」や「6543」のような連続は推測されやすいです。</translation>
    </message>
    <message>
        <source>Rows and patterns of keys, such as &quot;qwerty&quot;, are easy to guess.</source>
        <translation>「qwerty」のようなキーの並びやパターンは推測されやすいです。</translation>
    </message>
    <message>
        <source>Dates and years are easy to guess.</source>
        <translation>日付や年は推測されやすいです。</translation>
    </message>
    <message>
        <source>It is too short.</source>
        <translation>短すぎます。</translation>
    </message>
    <message>
        <source>Password strength</source>
        <translation>パスワードの強さ</translation>
    </message>
    <message>
        <source>The estimate assumes someone with a copy of a note who tries 10¹⁰ passwords a second on one graphics card: each try costs one MD5 and one AES block, as the file format adds no salt and no stretching.</source>
        <translation>この見積もりは、メモのコピーを持つ人が 1 枚のグラフィックカードで毎秒 10¹⁰ 個のパスワードを試すと仮定しています: ファイル形式にソルトもストレッチングもないため、1 回の試行は MD5 1 回と AES 1 ブロック分で済みます。</translation>
    </message>
    <message>
        <source>less than a second</source>
        <translation>1 秒未満</translation>
    </message>
    <message numerus="yes">
        <source>about %n second(s)</source>
        <translation>
            <numerusform>約 %n 秒</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>about %n minute(s)</source>
        <translation>
            <numerusform>約 %n 分</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>about %n hour(s)</source>
        <translation>
            <numerusform>約 %n 時間</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>about %n day(s)</source>
        <translation>
            <numerusform>約 %n 日</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>about %n year(s)</source>
        <translation>
            <numerusform>約 %n 年</numerusform>
        </translation>
    </message>
    <message>
        <source>centuries</source>
        <translation>何世紀も</translation>
    </message>
    <message>
        <source>Time to guess it offline: %1.</source>
        <translation>オフラインで推測されるまでの時間: %1。</translation>
    </message>
    <message>
        <source>Add another word or two: a few uncommon words are easier to remember and harder to guess than symbols.</source>
        <translation>単語をあと 1 つか 2 つ加えてください: あまり使われない単語をいくつか並べる方が、記号より覚えやすく推測されにくくなります。</translation>
    </message>
    <message>
        <source>Weak: this password could be guessed in less than a century. It will be used all the same.</source>
        <translation>弱いパスワード: 100 年もかからずに推測され得ます。それでもこのパスワードは使われます。</translation>
    </message>
</context>
<context>
    <name>window::CursorPositionLabel</name>
    <message>
        <source>Line %1, Column %2</source>
        <translation>%1 行、%2 列</translation>
    </message>
</context>
<context>
    <name>window::FindBar</name>
    <message>
        <source>Find in note</source>
        <translation>メモ内を検索</translation>
    </message>
    <message>
        <source>Previous match (Shift+F3)</source>
        <translation>前を検索 (Shift+F3)</translation>
    </message>
    <message>
        <source>Next match (F3)</source>
        <translation>次を検索 (F3)</translation>
    </message>
    <message>
        <source>Match &amp;case</source>
        <translation>大文字と小文字を区別する(&amp;C)</translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation>閉じる (Esc)</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>見つかりません</translation>
    </message>
    <message>
        <source>Continued from the bottom</source>
        <translation>末尾から検索を続けました</translation>
    </message>
    <message>
        <source>Continued from the top</source>
        <translation>先頭から検索を続けました</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>検索</translation>
    </message>
    <message>
        <source>Previous match</source>
        <translation>前を検索</translation>
    </message>
    <message>
        <source>Next match</source>
        <translation>次を検索</translation>
    </message>
    <message>
        <source>Close the find bar</source>
        <translation>検索バーを閉じる</translation>
    </message>
    <message>
        <source>Whole &amp;words</source>
        <translation>単語単位(&amp;W)</translation>
    </message>
    <message>
        <source>Replace with</source>
        <translation>置換後の文字列</translation>
    </message>
    <message>
        <source>&amp;Replace</source>
        <translation>置換(&amp;R)</translation>
    </message>
    <message>
        <source>Replace &amp;All</source>
        <translation>すべて置換(&amp;A)</translation>
    </message>
    <message>
        <source>No matches</source>
        <translation>一致なし</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 / %2 件</translation>
    </message>
    <message>
        <source>1 match</source>
        <translation>1 件</translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation>%1 件</translation>
    </message>
    <message>
        <source>Replaced 1 match</source>
        <translation>1 件置換しました</translation>
    </message>
    <message>
        <source>Replaced %1 matches</source>
        <translation>%1 件置換しました</translation>
    </message>
</context>
<context>
    <name>window::GoToLineBar</name>
    <message>
        <source>&amp;Go to line:</source>
        <translation>行へ移動(&amp;G):</translation>
    </message>
    <message>
        <source>line or line:column</source>
        <translation>行 または 行:桁</translation>
    </message>
    <message>
        <source>Go to line</source>
        <translation>行へ移動</translation>
    </message>
    <message>
        <source>Close the go to line bar</source>
        <translation>行へ移動バーを閉じる</translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation>閉じる (Esc)</translation>
    </message>
</context>
<context>
    <name>window::LockPanel</name>
    <message>
        <source>Locked. Enter the password to unlock.</source>
        <translation>ロックされています。ロックを解除するにはパスワードを入力してください。</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>パスワード</translation>
    </message>
    <message>
        <source>&amp;Unlock</source>
        <translation>ロック解除(&amp;U)</translation>
    </message>
    <message>
        <source>Unlock message</source>
        <translation>ロック解除のメッセージ</translation>
    </message>
</context>
<context>
    <name>window::MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>新規(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>開く(&amp;O)…</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>名前を付けて保存(&amp;A)…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>終了(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>編集(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>元に戻す(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>やり直し(&amp;R)</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>切り取り(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>コピー(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>貼り付け(&amp;P)</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>すべて選択(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Find...</source>
        <translation>検索(&amp;F)…</translation>
    </message>
    <message>
        <source>Find &amp;Next</source>
        <translation>次を検索(&amp;N)</translation>
    </message>
    <message>
        <source>Find Pre&amp;vious</source>
        <translation>前を検索(&amp;V)</translation>
    </message>
    <message>
        <source>Pr&amp;eferences...</source>
        <translation>設定(&amp;E)…</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>表示(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Word Wrap</source>
        <translation>右端で折り返す(&amp;W)</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>拡大(&amp;I)</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>縮小(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Reset Zoom</source>
        <translation>ズームをリセット(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About Vellumpad</source>
        <translation>Vellumpad について(&amp;A)</translation>
    </message>
    <message>
        <source>%1[*] — Vellumpad</source>
        <translation>%1[*] — Vellumpad</translation>
    </message>
    <message>
        <source>&amp;Lock</source>
        <translation>ロック(&amp;L)</translation>
    </message>
    <message>
        <source>Rep&amp;lace...</source>
        <translation>置換(&amp;L)…</translation>
    </message>
    <message>
        <source>&amp;Go to Line...</source>
        <translation>行へ移動(&amp;G)…</translation>
    </message>
    <message>
        <source>R&amp;eload</source>
        <translation>再読み込み(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>閉じる(&amp;C)</translation>
    </message>
</context>
<context>
    <name>window::NoteLock</name>
    <message>
        <source>Locked[*] — Vellumpad</source>
        <translation>ロック中[*] — Vellumpad</translation>
    </message>
    <message>
        <source>Wrong password.</source>
        <translation>パスワードが違います。</translation>
    </message>
    <message>
        <source>Wrong password. Wait %1 s before trying again.</source>
        <translation>パスワードが違います。%1 秒待ってからもう一度試してください。</translation>
    </message>
</context>
<context>
    <name>window::NoteTextView</name>
    <message>
        <source>Note text</source>
        <translation>メモの本文</translation>
    </message>
</context>
<context>
    <name>window::ProtectionSign</name>
    <message>
        <source>Encrypted</source>
        <translation>暗号化</translation>
    </message>
    <message>
        <source>No password: anyone with the file can read it</source>
        <translation>パスワードなし: ファイルを手にした人は誰でも読めます</translation>
    </message>
    <message>
        <source>Closed lock</source>
        <translation>閉じた錠</translation>
    </message>
    <message>
        <source>Open lock</source>
        <translation>開いた錠</translation>
    </message>
    <message>
        <source>The note&apos;s file is encrypted with the password set in Preferences.</source>
        <translation>メモのファイルは「設定」のパスワードで暗号化されます。</translation>
    </message>
    <message>
        <source>Set a password in Edit → Preferences (Ctrl+,) to encrypt the note.</source>
        <translation>メモを暗号化するには「編集」→「設定」(Ctrl+,) でパスワードを設定してください。</translation>
    </message>
</context>
<context>
    <name>window::RecentNotesMenu</name>
    <message>
        <source>Open &amp;Recent</source>
        <translation>最近使ったメモを開く(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Clear List</source>
        <translation>一覧を消去(&amp;C)</translation>
    </message>
</context>
<context>
    <name>window::RecoveryBar</name>
    <message>
        <source>Unsaved changes from an earlier session</source>
        <translation>前回のセッションの未保存の変更</translation>
    </message>
    <message>
        <source>&amp;Restore</source>
        <translation>復元(&amp;R)</translation>
    </message>
    <message>
        <source>Try Another Password…</source>
        <translation>別のパスワードを試す…</translation>
    </message>
    <message>
        <source>&amp;Discard</source>
        <translation>破棄(&amp;D)</translation>
    </message>
</context>
<context>
    <name>window::ReloadBar</name>
    <message>
        <source>The note changed on disk</source>
        <translation>ノートがディスク上で変更されました</translation>
    </message>
    <message>
        <source>&amp;Reload</source>
        <translation>再読み込み(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Ignore</source>
        <translation>無視(&amp;I)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was changed on disk by another program or window.</source>
        <translation>「%1」は別のプログラムまたはウィンドウによってディスク上で変更されました。</translation>
    </message>
</context>
<context>
    <name>window::ViewController</name>
    <message>
        <source>Dismiss</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Opening the note; it can be edited once it is complete.</source>
        <translation>メモを開いています。すべて読み込むと編集できます。</translation>
    </message>
    <message>
        <source>Problem</source>
        <translation>問題</translation>
    </message>
    <message>
        <source>Dismiss the problem</source>
        <translation>この問題を閉じる</translation>
    </message>
    <message>
        <source>Opening the note</source>
        <translation>メモを開いています</translation>
    </message>
    <message>
        <source>Part of the note opened</source>
        <translation>メモの読み込み済みの割合</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>メモ</translation>
    </message>
</context>
</TS>
