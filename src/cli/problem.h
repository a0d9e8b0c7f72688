#pragma once

#include "cipher/base/result.h"

#include <string>

namespace cli {

/// A failure the tool has put in words for its error stream: a core failure's cause in English, or a fact of the
/// tool's own (a password file too large, a terminal that cannot be read). An empty message was reported already.
struct Problem {
    std::string message;
};

/// A value, or the words for why there is none.
template <class T> using Outcome = cipher::Result<T, Problem>;

/// The cause of a core failure in lowercase English words, such as "the disk is full".
[[nodiscard]] std::string causeWords(const cipher::Failure& failure);

/// The words for a file error (an errno), such as "permission denied".
[[nodiscard]] std::string fileErrorWords(int error);

} // namespace cli
