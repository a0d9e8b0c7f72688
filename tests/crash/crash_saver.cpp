// Saves the two crash-test notes over one file, alternately and starting with the given one, until it is killed.
//   vellumpad_crash_saver PATH FIRST    (FIRST is 0 or 1)
// Writes one byte to standard output once the notes are built, so that the test times its kill from the first save.
#include "crash_notes.h"

#include "cipher/base/log.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/note/trace.h"
#include "support/memory_log.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
    if (argc != 3 || (std::string_view(argv[2]) != "0" && std::string_view(argv[2]) != "1")) {
        std::fputs("usage: vellumpad_crash_saver PATH FIRST (0 or 1)\n", stderr);
        return 2;
    }
    const std::string notes[2] = {crash::note(0), crash::note(1)};
    if (::write(STDOUT_FILENO, "r", 1) != 1) {
        return 2;
    }
    cipher::MemoryLog log;
    for (int which = argv[2][0] - '0';; which = 1 - which) {
        const cipher::Result<cipher::Done> saved =
            cipher::saveEncryptedText(argv[1], notes[which], crash::password, cipher::noteIv, cipher::Trace(), log);
        if (!saved) {
            std::fprintf(stderr, "%s\n", saved.failure().message.c_str());
            return 1;
        }
    }
}
