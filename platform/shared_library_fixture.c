/* SPDX-License-Identifier: Apache-2.0 */
/* A library for shared_library_test to load: one export with a known answer. */
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
int platform_fixture_answer(void) {
    return 42;
}
