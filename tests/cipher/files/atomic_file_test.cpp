#include "cipher/files/atomic_file.h"
#include "test_support.h"

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

} // namespace
} // namespace cipher
