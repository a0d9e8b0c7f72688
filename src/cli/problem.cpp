#include "cli/problem.h"

#include "cipher/files/file_io.h"
#include "platform/failure_text.h"

namespace cli {

std::string causeWords(const cipher::Failure& failure) {
    // The tool installs no translation, so these are the English words the window translates.
    return platform::FailureText::causeWords(failure).toStdString();
}

std::string fileErrorWords(int error) {
    return causeWords({cipher::causeOfFileError(error), cipher::Operation::none, {}, error});
}

} // namespace cli
