#include "cipher/files/atomic_file.h"
#include "test_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cipher {
namespace {

using test::readFile;
using test::TempDir;
using Names = std::vector<std::string>;

TEST(AtomicFile, SavesUnderANameAtTheFileSystemLimit) {
    const TempDir dir;
    const std::string name = std::string(251, 'n') + ".vpd";
    ASSERT_TRUE(writeFileAtomically(dir / name, "content").ok());
    EXPECT_EQ(readFile(dir / name), "content");
    EXPECT_EQ(dir.names(), Names{name});

    EXPECT_TRUE(isTemporarySaveName(".Diary.vpd.vellumpad-save-Ab12Cd.tmp"));
    EXPECT_FALSE(isTemporarySaveName(".Diary.vpd.vellumpad-save-Ab1-d.tmp"));
}

// Temporary files that killed saves left are removed by the next save of the same note, and nothing else is: the
// name, the owner and a free lock must all say that the file is an abandoned temporary of ours.
TEST(AtomicFile, RemovesOnlyTheTemporariesThatSavesOfTheSameNoteAbandoned) {
    const TempDir dir;
    const std::string abandoned = ".n.vpd.vellumpad-save-Ab12Cd.tmp";
    const Names kept = {
        ".m.vpd.vellumpad-save-Ab12Cd.tmp", // another note's
        ".n.vpd.vellumpad-save-Ab12C.tmp",  // not the pattern
        ".n.vpd.vellumpad-save-Held00.tmp", // its writer still holds its lock
        ".n.vpd.vellumpad-save-Link00.tmp", // a link, to the other note's temporary
        ".n.vpd.vellumpad-save-Pipe00.tmp", // a pipe, never waited on
        ".n.vpd.vellumpad-save-Them00.tmp", // another user's
        "n.vpd.vellumpad-save-Ab12Cd.tmp",  // not hidden: not ours
    };
    for (const std::string& name : Names{abandoned, kept[0], kept[1], kept[2], kept[6]}) {
        test::writeFile(dir / name, "leftover");
    }
    const int held = ::open((dir / kept[2]).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    std::filesystem::create_symlink(kept[0], dir / kept[3]);
    ASSERT_EQ(::mkfifo((dir / kept[4]).c_str(), 0600), 0);
    test::writeFile(dir / kept[5], "leftover");
    const bool otherOwner = ::chown((dir / kept[5]).c_str(), 65534, 65534) == 0;

    ASSERT_TRUE(writeFileAtomically(dir / "n.vpd", "note").ok());
    Names expected = kept;
    expected.push_back("n.vpd");
    if (!otherOwner) {
        expected.erase(std::find(expected.begin(), expected.end(), kept[5]));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.names(), expected);
    ::close(held);
}

} // namespace
} // namespace cipher
