// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <windows.h>

namespace fw {

// One running copy of a program per user: a named mutex, held while this object lives.
class InstanceLock {
public:
    explicit InstanceLock(const std::wstring& program);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // False when another copy of the program, run by the same user, holds the lock.
    bool acquired() const { return acquired_; }

    // The user's SID as text, or empty where the process token cannot say.
    static std::wstring userSid();

private:
    HANDLE mutex_ = nullptr;
    bool acquired_ = true;
};

} // namespace fw
