#include "log.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

namespace cipher {

StderrLog::StderrLog(std::string programName) : m_programName(std::move(programName)) {}

void StderrLog::write(std::string_view message) {
    try {
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        const auto millis =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        std::tm local{};
        localtime_r(&seconds, &local);
        char stamp[32];
        const std::size_t stampLength = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

        std::string line(stamp, stampLength);
        char tail[32];
        const int tailLength = std::snprintf(tail, sizeof tail, ".%03d ", static_cast<int>(millis));
        line.append(tail, static_cast<std::size_t>(tailLength));
        line += m_programName;
        line += '[';
        line += std::to_string(getpid());
        line += "] ";
        line += message;
        line += '\n';
        // One write, so that lines from several processes do not interleave.
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    } catch (...) {
        // A log that cannot allocate stays silent rather than take the program down.
    }
}

} // namespace cipher
