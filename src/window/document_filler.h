#pragma once

#include "cipher/stream/note_stream.h"

#include <Qsci/qsciscintillabase.h>

#include <QByteArrayView>

#include <string_view>

namespace window {

/// Takes a note as it is decrypted straight into a document from NoteTextView::makeDocument, which is not shown
/// meanwhile: the note is never held beside the document, and the view shows its own note until the new one is whole.
/// Putting the note in is not an edit: nothing of it goes to Undo.
class DocumentFiller final : public cipher::NoteSink {
public:
    /// A filler of document, which must outlive it.
    explicit DocumentFiller(long document);
    DocumentFiller(const DocumentFiller&) = delete;
    DocumentFiller& operator=(const DocumentFiller&) = delete;

    [[nodiscard]] bool take(std::string_view piece) override;
    /// What was put in so far; valid until more is.
    [[nodiscard]] QByteArrayView bytes() const;
    /// Wipes what was put in, for a note that did not open whole.
    void wipe();

private:
    // An editor of its own, never shown, through which the document is written.
    QsciScintillaBase m_editor;
};

} // namespace window
