#include "cipher/note_cipher.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/wait.h>

#include <random>
#include <string>

namespace cipher {
namespace {

using test::readFile;
using test::toHex;
using test::writeFile;

// Runs a shell command; true when it exits with status 0.
bool run(const std::string& command) {
    FILE* pipe = popen((command + " >/dev/null 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    const int status = pclose(pipe);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// `openssl enc` in the given direction under the note key and iv, with Base64 on the file side.
bool opensslEnc(const std::string& password, const char* direction, const std::filesystem::path& in,
                const std::filesystem::path& out) {
    return run("openssl enc " + std::string(direction) + " -aes-256-cbc -a -K " + toHex(deriveKey(password)) + " -iv " +
               toHex(noteIv) + " -in '" + in.string() + "' -out '" + out.string() + "'");
}

std::string randomText(std::mt19937& random, std::size_t maxPieces) {
    static const char* const pieces[] = {"a", "Z", " ", "\n", "\r\n", "\xC3\xA9", "\xE5\x90\x8D", "\xF0\x9F\x98\x80"};
    std::string text;
    for (std::size_t count = random() % (maxPieces + 1); count != 0; --count) {
        text += pieces[random() % std::size(pieces)];
    }
    return text;
}

TEST(OpensslInterop, EachSideOpensTheOthersFiles) {
    if (!run("openssl version")) {
        GTEST_SKIP() << "the openssl command is not installed";
    }
    const test::TempDir dir;
    std::mt19937 random(20240611);
    for (int round = 0; round < 6; ++round) {
        const std::string note = randomText(random, round == 0 ? 0 : 200);
        const std::string password = randomText(random, 12);
        MemoryLog log;
        const auto ours = encrypt(note, password, noteIv, Trace(), log);
        ASSERT_TRUE(ours);
        // openssl's Base64 reader wants a line break after the last line; our files end without one.
        writeFile(dir / "ours.vpd", *ours + "\n");
        ASSERT_TRUE(opensslEnc(password, "-d", dir / "ours.vpd", dir / "ours.txt")) << round;
        EXPECT_EQ(readFile(dir / "ours.txt"), note) << round;

        writeFile(dir / "note.txt", note);
        ASSERT_TRUE(opensslEnc(password, "-e", dir / "note.txt", dir / "theirs.vpd")) << round;
        const std::string theirs = readFile(dir / "theirs.vpd");
        EXPECT_EQ(decrypt(theirs, password, noteIv, Trace()), note) << round;
        // The same Base64, in the same 64-character lines, only with LF breaks and a final LF.
        std::string oursWithLf = *ours + "\n";
        std::erase(oursWithLf, '\r');
        EXPECT_EQ(theirs, oursWithLf) << round;
    }
}

} // namespace
} // namespace cipher
