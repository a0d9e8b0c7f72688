#include "cli/command_support.h"

#include "cli/password_places.h"
#include "cli/quoted_name.h"

#include "cipher/encoding/utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace cli {
namespace {

constexpr std::string_view standardInputName = "standard input";

/// The password from the file (less one trailing LF or CR LF), or else the one the editor stores.
Outcome<cipher::SecureBytes> loadPassword(const std::string& passwordFile, const Environment& environment) {
    if (passwordFile.empty()) {
        return editorPassword(environment);
    }
    ReadEnd end;
    Outcome<cipher::SecureBytes> content = readSource(
        passwordFile, environment, {.kinds = std::nullopt, .limit = maxPasswordFileBytes, .textOnly = false}, end);
    if (!content) {
        return content;
    }
    if (end.tooLarge) {
        return Problem{quotedName(passwordFile) + ": larger than 64 KiB, which no password file is"};
    }
    cipher::SecureBytes& password = content.value();
    if (!password.empty() && password.back() == '\n') {
        password.pop_back();
        if (!password.empty() && password.back() == '\r') {
            password.pop_back();
        }
    }
    if (!cipher::isWellFormedUtf8(cipher::asText(password))) {
        return Problem{quotedName(passwordFile) + ": the password in it is not UTF-8 text"};
    }
    return content;
}

} // namespace

void report(const Environment& environment, std::string_view message) {
    std::string line = "vellumpad-cli: ";
    // Names are quoted where they are put in; a control character that still got here (a name inside a message
    // from the core) is shown as '?', as ls shows it, never sent to the terminal.
    std::transform(message.begin(), message.end(), std::back_inserter(line),
                   [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c; });
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), environment.errors);
    std::fflush(environment.errors);
}

void warnIfEmpty(const cipher::SecureBytes& password, const Environment& environment) {
    if (password.empty()) {
        report(environment, "warning: no password is set; anyone with the file can read it");
    }
}

std::string displayName(const std::string& path) {
    return path.empty() ? std::string(standardInputName) : quotedName(path);
}

Outcome<cipher::SecureBytes> readSource(const std::string& path, const Environment& environment,
                                        const SourceRules& rules, ReadEnd& end) {
    int fd = environment.input;
    if (!path.empty() && rules.kinds) {
        const Outcome<int> opened = openInput(path, *rules.kinds);
        if (!opened) {
            return Problem{displayName(path) + ": cannot be read: " + opened.failure().message};
        }
        fd = opened.value();
    } else if (!path.empty() && (fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
        return Problem{displayName(path) + ": cannot be read: " + readCause(errno)};
    }
    cipher::SecureBytes content;
    end = readInto(fd, content, rules.limit, rules.textOnly);
    if (!path.empty()) {
        ::close(fd);
    }
    if (end.error != 0) {
        return Problem{displayName(path) + ": cannot be read: " + readCause(end.error)};
    }
    return content;
}

std::string writeFailure(const std::string& path, const cipher::Failure& failure) {
    // The file is named the way the tool names files, not as the core spelt it.
    return quotedName(path) + ": cannot be written: " + causeWords(failure);
}

Outcome<cipher::SecureBytes> obtainPassword(const std::string& passwordFile, const Environment& environment,
                                            std::string_view prompt, std::string_view repeatPrompt) {
    if (passwordFile.empty() && environment.terminal != nullptr) {
        Outcome<cipher::SecureBytes> typed = environment.terminal->ask(prompt, repeatPrompt);
        if (typed && !repeatPrompt.empty()) {
            warnIfWeak(typed.value(), environment);
        }
        return typed;
    }
    return loadPassword(passwordFile, environment);
}

int openSource(const std::string& path, const Environment& environment) {
    if (path.empty()) {
        return environment.input;
    }
    const Outcome<int> fd = openInput(path, InputKinds::regularOrPipe);
    if (!fd) {
        report(environment, displayName(path) + ": cannot be read: " + fd.failure().message);
        return -1;
    }
    return fd.value();
}

bool writesOverItsInput(const Command& command, int input, const Environment& environment) {
    const bool intoOutputFile = !command.output.empty() && isSameFile(input, command.output);
    if (!intoOutputFile && !isSameRegularFile(input, ::fileno(environment.output))) {
        return false;
    }
    const std::string output = intoOutputFile ? quotedName(command.output) : std::string("standard output");
    report(environment,
           displayName(command.input) + ": is the same file as the output, " + output + "; nothing written");
    return true;
}

bool refusesReadOnlyOutput(const std::string& path, const Environment& environment) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    // access() lets root write anything; a file whose mode grants nobody writing was made read-only on purpose.
    if (::access(path.c_str(), W_OK) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0) {
        return false;
    }
    report(environment, quotedName(path) + ": cannot be written: the file is read-only");
    return true;
}

void closeSource(const std::string& path, int fd) {
    if (!path.empty()) {
        ::close(fd);
    }
}

} // namespace cli
