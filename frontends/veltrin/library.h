// SPDX-License-Identifier: Apache-2.0
// What the Veltrin window asks of the Lumetra library: the exports it calls,
// with 8-bit texts as standard strings. The window logic talks to this, so
// tests can record the calls and the views can bind the real library each
// their own way.
#pragma once

#include <string>

namespace veltrin {

class Library {
  public:
    virtual ~Library() = default;

    virtual short open(const std::string& address) = 0;          // uxOpen
    virtual short reOpen(const std::string& address) = 0;        // ReOpen
    virtual void close() = 0;                                    // uxClose
    virtual short lastError() = 0;                               // uxGetLastError
    virtual std::string firstModeName() = 0;                     // GetFirstModeName
    virtual std::string nextModeName() = 0;                      // GetNextModeName
    virtual std::string modeType(const std::string& name) = 0;   // GetModeType
    virtual std::string modeHelp(const std::string& name) = 0;   // GetModeHelp
    virtual short modeSize(const std::string& name) = 0;         // GetModeSize
    virtual std::string nvRamMode(const std::string& name) = 0;  // GetNVRamMode
    virtual std::string mode(const std::string& name) = 0;       // GetMode
    virtual bool setMode(const std::string& name, const std::string& value) = 0;  // uxSetMode
    virtual void commit() = 0;                                                    // uxCommit
    virtual void restart() = 0;                                                   // uxRestart

    // Why a call since the last look could not reach the library file or
    // one of its exports; empty when every call found what it needed.
    virtual std::string takeProblem() = 0;
};

}  // namespace veltrin
