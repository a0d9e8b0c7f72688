#include "cipher/files/atomic_file.h"
#include "cipher/note/note_file.h"
#include "cipher/stream/note_stream.h"
#include "support/memory_log.h"
#include "test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

namespace cipher {
namespace {

using test::plainFileText;
using test::readFile;
using test::TempDir;
using test::traced;
using test::writeFile;
using Names = std::vector<std::string>;
using namespace std::string_literals;

enum class Step { None, Create, Write, Fsync, Close, Rename, Sync, Corrupt };

// Real system calls, except that the chosen step fails with the chosen error (Corrupt stores one byte wrongly).
// The first name tried is taken and writes are cut short or interrupted, which the writer must absorb.
class FaultyOps : public FileOps {
public:
    FaultyOps(Step step, int error) : m_step(step), m_error(error) {}
    int createExclusive(const std::string& path, mode_t mode) override {
        if (m_creates++ == 0) {
            return fail(EEXIST);
        }
        return m_step == Step::Create ? fail(m_error) : FileOps::createExclusive(path, mode);
    }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (m_step == Step::Write || m_writes++ % 3 == 1) {
            return fail(m_step == Step::Write ? m_error : EINTR);
        }
        std::string chunk(static_cast<const char*>(data), std::min<std::size_t>(size, 7));
        chunk[0] = static_cast<char>(chunk[0] ^ (m_step == Step::Corrupt && m_writes == 3 ? 1 : 0));
        return FileOps::write(fd, chunk.data(), chunk.size());
    }
    int fsync(int fd) override { return m_step == Step::Fsync ? fail(m_error) : FileOps::fsync(fd); }
    int close(int fd) override {
        const int result = FileOps::close(fd);
        return m_step == Step::Close ? fail(m_error) : result;
    }
    int rename(const std::string& from, const std::string& to) override {
        return m_step == Step::Rename ? fail(m_error) : FileOps::rename(from, to);
    }
    int syncDirectory(const std::string& path) override {
        return m_step == Step::Sync ? fail(m_error) : FileOps::syncDirectory(path);
    }

private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
    Step m_step;
    int m_error;
    int m_creates = 0;
    int m_writes = 0;
};

constexpr std::string_view note = "A note long enough to need several short writes: caf\xC3\xA9.";

// Whole or from a pipe however it cuts the note, through FaultyOps the save succeeds despite short and interrupted
// writes, and failing at any step keeps the earlier file and leaves nothing else behind; so does a large note that
// turns out not to be UTF-8 after pieces were written, and a pipe that fails partway.
TEST(SaveEncrypted, ReplacesTheFileOrOnFailureAtAnyStepKeepsIt) {
    std::mt19937 random(41);
    const std::string large = test::randomUtf8(random, 2 * NoteEncryptor::pieceBytes + 7);
    const std::string junk = large + "\xFF", onePiece(NoteEncryptor::pieceBytes, 'p');
    constexpr std::size_t whole = std::string_view::npos;
    using enum FailureCause;
    // The note, where its pipe fails, the step that fails, and the failure's cause (none: saved).
    const std::tuple<std::string_view, std::size_t, Step, int, std::optional<FailureCause>> cases[] = {
        {"", whole, Step::None, 0, std::nullopt},
        {note, whole, Step::None, 0, std::nullopt},
        {onePiece, whole, Step::None, 0, std::nullopt},
        {large, whole, Step::None, 0, std::nullopt},
        // The folder refused: it is what the user must look at.
        {note, whole, Step::Create, EACCES, folderNotWritable},
        {note, whole, Step::Write, ENOSPC, noSpace},
        {note, whole, Step::Fsync, EIO, diskError},
        {note, whole, Step::Close, EIO, diskError},
        {note, whole, Step::Rename, EACCES, noPermission},
        {note, whole, Step::Sync, EIO, diskError},
        {note, whole, Step::Corrupt, 0, readBackDiffers},
        {junk, whole, Step::None, 0, notText},
        {large, NoteEncryptor::pieceBytes + 5, Step::None, 0, unreadable},
    };
    for (const auto& [text, failAt, step, error, cause] : cases) {
        // Held whole (no pipe), or from a pipe in pieces smaller and larger than the encryptor's own.
        for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{4099}, std::size_t{1} << 20}) {
            if (failAt != whole && cut == 0) {
                continue;
            }
            const TempDir dir;
            writeFile(dir / "Diary.vpd", "earlier");
            MemoryLog log;
            FaultyOps ops(step, error);
            test::CutSource pipe(text, cut, failAt);
            const Result<Done> saved = cut != 0
                                           ? saveEncryptedStream(dir / "Diary.vpd", pipe, NoteFormat("pw"), log, ops)
                                           : saveEncryptedText(dir / "Diary.vpd", text, NoteFormat("pw"), log, ops);
            const auto where = ::testing::Message() << text.size() << " " << static_cast<int>(step) << " "
                                                    << static_cast<int>(cause.value_or(other)) << " cut " << cut;
            ASSERT_EQ(saved.ok(), !cause) << where;
            if (!saved) {
                EXPECT_EQ(saved.failure().cause, *cause) << where;
            }
            EXPECT_TRUE(readFile(dir / "Diary.vpd") == (!cause ? plainFileText(text, "pw") : "earlier")) << where;
            EXPECT_EQ(dir.names(), Names{"Diary.vpd"}) << where;
            EXPECT_TRUE(cause ? log.lines.back() == "Failed!!" : log.lines == Names{"Success!"}) << where;
        }
    }
}

// A link that points at no file yet is saved through, never replaced by a file: the file is made where it points.
// A path that cannot be a file is named in the failure, and nothing is left behind.
TEST(SaveEncryptedText, SavesThroughALinkToNothingYetAndNamesAPathThatCannotBeAFile) {
    const TempDir dir;
    std::filesystem::create_directory(dir / "notes");
    std::filesystem::create_directory(dir / "folder.vpd");
    std::filesystem::create_symlink("notes/new.vpd", dir / "direct");
    std::filesystem::create_symlink("direct", dir / "chained");
    std::filesystem::create_symlink(dir / "notes" / "absolute.vpd", dir / "absolute");
    std::filesystem::create_symlink("gone/x.vpd", dir / "into-missing-folder");
    std::filesystem::create_symlink("loop", dir / "loop");
    // The path saved to, where the note must end up (empty: nowhere, the save fails), and the cause.
    const std::tuple<std::string, std::string, FailureCause> cases[] = {
        {"direct", "notes/new.vpd", FailureCause::other},
        {"chained", "notes/new.vpd", FailureCause::other},
        {"absolute", "notes/absolute.vpd", FailureCause::other},
        {"into-missing-folder", "", FailureCause::notFound},
        {"loop", "", FailureCause::tooManyLinks},
        {"folder.vpd", "", FailureCause::isAFolder},
        {"missing/a.vpd", "", FailureCause::notFound},
    };
    for (const auto& [name, target, cause] : cases) {
        MemoryLog log;
        const Result<Done> saved = saveEncryptedText(dir / name, note, NoteFormat("pw"), log);
        EXPECT_EQ(log.lines, Names{target.empty() ? "Failed!!" : "Success!"}) << name;
        EXPECT_EQ(std::filesystem::is_symlink(dir / name), !name.ends_with(".vpd")) << name; // links stay links
        if (target.empty()) {
            ASSERT_FALSE(saved.ok()) << name;
            EXPECT_EQ(saved.failure().cause, cause) << name;
            EXPECT_EQ(saved.failure().path, (dir / name).string());
        } else {
            ASSERT_TRUE(saved.ok()) << name;
            EXPECT_EQ(readFile(dir / target), plainFileText(note, "pw")) << name;
            std::filesystem::remove(dir / target);
        }
    }
    EXPECT_EQ(dir.names(),
              (Names{"absolute", "chained", "direct", "folder.vpd", "into-missing-folder", "loop", "notes"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "notes"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.vpd"));
}

// A replaced file keeps its mode, also one the umask would not give. (A new file is the owner's alone: the CLI's
// round trip checks it under the usual umask, which would let a mode of 0666 show.)
TEST(SaveEncryptedText, KeepsTheModeOfAReplacedFile) {
    const TempDir dir;
    const mode_t oldMask = ::umask(077);
    MemoryLog log;
    writeFile(dir / "shared.vpd", "earlier");
    ::chmod((dir / "shared.vpd").c_str(), 0640);
    EXPECT_TRUE(saveEncryptedText(dir / "shared.vpd", note, NoteFormat("pw"), log).ok());
    ::umask(oldMask);
    struct stat info {};
    ASSERT_EQ(::stat((dir / "shared.vpd").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
}

TEST(ReadNoteFile, GivesTheTextUnchangedOrSaysWhyNot) {
    const TempDir dir;
    const std::string text = "\xEF\xBB\xBF"
                             "ab\r\ncd\n"; // a byte-order mark and both line ends
    writeFile(dir / "lines.vpd", text);
    writeFile(dir / "binary.vpd", "ab\xFF");
    std::filesystem::create_directory(dir / "folder.vpd");
    const std::pair<std::string, FailureCause> failures[] = {{"binary.vpd", FailureCause::notText},
                                                             {"folder.vpd", FailureCause::isAFolder},
                                                             {"missing.vpd", FailureCause::notFound}};
    for (const auto& [name, expectedCause] : failures) {
        const auto path = dir / name;
        for (const Result<std::string>& failed : {readNoteFile(path), openNoteFile(path, NoteFormat("pw"))}) {
            EXPECT_EQ(failed.failure().cause, expectedCause) << name;
            EXPECT_EQ(failed.failure().path, path.string()) << name;
        }
    }
    EXPECT_EQ(readNoteFile(dir / "lines.vpd").value(), text);
}

// A note larger than one read of its file (1 MiB) opens byte for byte; a byte not text in a later read is refused
// as not text, and a 64 GiB sparse file of zeros (text, but no note) without reading it whole, which would take
// minutes. That opening agrees with reading and then decrypting, for any file and wherever the reads end, is the
// open_file fuzzer's property.
TEST(OpenNoteFile, OpensANoteLargerThanOneReadByteForByteAndRefusesAHugeNonNoteAtOnce) {
    const TempDir dir;
    std::mt19937 random(43);
    const std::string text = test::randomUtf8(random, (1 << 20) + 3 * NoteEncryptor::pieceBytes);
    const std::string fileText = plainFileText(text, "pw");
    std::string binary = fileText;
    binary[(1 << 20) + 5] = '\xFF';
    using enum FailureCause;
    // The file's content (empty: the sparse file), the password, and why it is refused (none: it opens).
    const std::tuple<std::string, std::string_view, std::optional<FailureCause>> cases[] = {
        {fileText, "pw", std::nullopt},
        {binary, "pw", notText},
        {"", "pw", notANote},
    };
    for (const auto& [content, pass, refusal] : cases) {
        writeFile(dir / "n.vpd", content);
        ASSERT_TRUE(!content.empty() || ::truncate((dir / "n.vpd").c_str(), off_t{64} << 30) == 0);
        const Result<std::string> opened = openNoteFile(dir / "n.vpd", NoteFormat(pass));
        ASSERT_EQ(opened.ok(), !refusal) << content.size() << " " << pass;
        EXPECT_TRUE(opened ? opened.value() == text : opened.failure().cause == *refusal) << content.size();
    }
}

// Saving and opening are traced by the streamed steps they run, line for line as encrypt and decryptWhole trace
// them: also when the write fails before all was encrypted, and when the file is refused.
TEST(NoteFileTrace, ShowsTheStepsOfEncryptAndDecrypt) {
    const TempDir dir;
    MemoryLog log;
    std::mt19937 random(7);
    const std::string large = test::randomUtf8(random, NoteEncryptor::pieceBytes + 100);
    for (const std::string& text : {std::string("Hello"), large, std::string("no\xFF")}) {
        const std::string expected = traced([&](const Trace& t) { (void)encrypt(text, TracedFormat("pw", t), log); });
        EXPECT_TRUE(traced([&](const Trace& t) {
                        (void)saveEncryptedText(dir / "n.vpd", text, TracedFormat("pw", t), log);
                    }) == expected)
            << text.size();
        FaultyOps full(Step::Write, ENOSPC);
        EXPECT_TRUE(traced([&](const Trace& t) {
                        (void)saveEncryptedText(dir / "m.vpd", text, TracedFormat("pw", t), log, full);
                    }) == expected)
            << text.size();
    }
    const std::string damaged = plainFileText("ok\xFF", "pw");
    EXPECT_TRUE(traced([&](const Trace& t) {
                    (void)decryptWhole(damaged, TracedFormat("pw", t));
                }).ends_with("decrypted\n[111, 107, 255]\nsome error\n"));
    const std::string fileTexts[] = {plainFileText("Hello", "pw"),
                                     plainFileText("Hello", "other"),
                                     plainFileText(large, "pw"),
                                     damaged,
                                     "Zg=",
                                     "",
                                     "ab\xFF"};
    for (const std::string& fileText : fileTexts) {
        writeFile(dir / "f.vpd", fileText);
        const auto decrypting = [&](const Trace& t) { (void)decryptWhole(fileText, TracedFormat("pw", t)); };
        const auto opening = [&](const Trace& t) { (void)openNoteFile(dir / "f.vpd", TracedFormat("pw", t)); };
        EXPECT_TRUE(traced(opening) == traced(decrypting)) << fileText.size();
    }
}

} // namespace
} // namespace cipher
