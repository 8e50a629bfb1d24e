// Defaults for libFuzzer's own options, set by a target in
// LLVMFuzzerInitialize (libFuzzer reads its flags after that call), so that
// every script and command line gets them without knowing the target.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

// For a harness's own checks and reference readings: built without coverage
// instrumentation, they neither cost a callback per compare nor steer the
// fuzzer towards their branches instead of the unit's.
#define ARDEL_HARNESS __attribute__((no_sanitize("coverage")))

namespace ardelfuzz {

// Adds -max_len=maxLen unless the command line gives a -max_len. For targets
// whose inputs say nothing new past a length: libFuzzer's default of 4096
// bytes would then spend most of the run on bytes that only cost time.
inline void DefaultMaxLen(int *argc, char ***argv, std::size_t maxLen)
{
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "-max_len=", 9) == 0)
            return;
    static std::string flag = "-max_len=" + std::to_string(maxLen);
    static std::vector<char *> args;
    args.assign(*argv, *argv + *argc);
    args.push_back(flag.data());
    args.push_back(nullptr);
    *argc = int(args.size()) - 1;
    *argv = args.data();
}

} // namespace ardelfuzz
