// SPDX-License-Identifier: Apache-2.0
// Mibbet takes no arguments: any that are given are ignored.
#include "mibbet/server.h"

int main() { return mibbet::runServer(); }
