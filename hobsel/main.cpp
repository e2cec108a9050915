// SPDX-License-Identifier: Apache-2.0
// Hobsel: a demonstration host server for units.
#include <string>
#include <vector>

#include "hobsel/context.h"
#include "hobsel/listener.h"

int main(int argc, char** argv) {
    hobsel::Context context;
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return hobsel::runHobsel(context, args);
}
