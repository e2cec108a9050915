// SPDX-License-Identifier: Apache-2.0
/* A stand-in library that lacks most of Lumetra's functions: the window must
 * say which one is missing and keep working. */
__attribute__((visibility("default"))) short uxGetLastError(void) { return 0; }
