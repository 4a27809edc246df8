// Writes the engine's outputs on the fixed cases to the file named by the argument, for another
// build of the engine (the Windows one) to compare with bit for bit.
#include "EngineOutputs.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    const std::vector<engine_outputs::Case> cases = engine_outputs::Cases();
    std::vector<engine_outputs::Result> results;
    for (const engine_outputs::Case& c : cases)
        results.push_back(engine_outputs::Run(c, engine_outputs::HostStates[0]));
    if (!engine_outputs::Write(argv[1], cases, results)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    std::printf("%zu cases written to %s\n", cases.size(), argv[1]);
    return 0;
}
