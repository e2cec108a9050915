// SPDX-License-Identifier: Apache-2.0
// The program that carries the tests' precompiled header (see
// SuiteHelpers.cmake); it is never run.
int main() {
    return 0;
}
