#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace {

using cli::Command;
using cli::CommandKind;
using Args = std::vector<std::string>;

TEST(ParseArguments, UnderstandsGoodCommandLines) {
    const std::pair<Args, Command> cases[] = {
        {{"decrypt", "-o", "x", "--help"}, {}},
        {{"encrypt", "-", "-o", "-"}, {.kind = CommandKind::encrypt}},
        {{"encrypt", "-o", "out.vpd", "--password-file", "pw", "in.txt"},
         {.kind = CommandKind::encrypt, .input = "in.txt", .output = "out.vpd", .passwordFile = "pw"}},
        {{"decrypt", "--output=a b", "--password-file=pw", "--", "-odd.vpd"},
         {.kind = CommandKind::decrypt, .input = "-odd.vpd", .output = "a b", .passwordFile = "pw"}},
        {{"rekey", "--old-password-file", "old", "a.vpd", "--new-password-file=new", "b.vpd"},
         {.kind = CommandKind::rekey, .oldPasswordFile = "old", .newPasswordFile = "new", .files = {"a.vpd", "b.vpd"}}},
    };
    for (const auto& [args, expected] : cases) {
        const cli::ParseResult result = cli::parseArguments(args);
        ASSERT_TRUE(std::holds_alternative<Command>(result)) << std::get<cli::UsageError>(result).message;
        EXPECT_EQ(std::get<Command>(result), expected) << args.front();
    }
}

TEST(ParseArguments, RefusesBadCommandLinesWithoutEchoingSecrets) {
    const std::pair<Args, std::string> cases[] = {
        {{}, "no command given"},
        {{"open\x1b[2J"}, "unknown command 'open?[2J'"},
        {{"-o", "x", "encrypt"}, "the command (encrypt, decrypt or rekey) comes before option '-o'"},
        {{"decrypt", "--password=hunter2"}, "never taken from the command line"},
        {{"decrypt", "-phunter2"}, "never taken from the command line"},
        {{"encrypt", "-o"}, "option '-o' needs a file name"},
        {{"encrypt", "-o", "a", "--output", "b"}, "option '--output' is given twice"},
        {{"encrypt", "--password-file", "-"}, "for standard input name /dev/stdin"},
        {{"encrypt", "a", "hunter2"}, "encrypt takes one input file at most, not 2"},
        {{"decrypt", "--old-password-file", "x"}, "option '--old-password-file' does not apply to decrypt"},
        {{"rekey", "-o", "x"}, "option '-o' does not apply to rekey"},
        {{"rekey", "--new-password-file", "n", "a.vpd"}, "rekey needs --old-password-file FILE"},
        {{"rekey", "--old-password-file", "o", "--new-password-file", "n"}, "rekey needs at least one note file"},
        {{"rekey", "--old-password-file", "o", "--new-password-file", "n", "-"}, "cannot read standard input"},
    };
    for (const auto& [args, message] : cases) {
        const cli::ParseResult result = cli::parseArguments(args);
        ASSERT_TRUE(std::holds_alternative<cli::UsageError>(result)) << message;
        const std::string& actual = std::get<cli::UsageError>(result).message;
        EXPECT_NE(actual.find(message), std::string::npos) << actual;
        EXPECT_EQ(actual.find("hunter2"), std::string::npos) << actual;
    }
}

} // namespace
