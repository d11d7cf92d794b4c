// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/InstanceLock.h"

#include <aclapi.h>
#include <sddl.h>

namespace fw {

std::wstring InstanceLock::userSid() {
    std::wstring text;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == 0) {
        return text;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    wchar_t* sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) != 0 &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid) != 0) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

namespace {

// The user name, where the token gives no SID.
std::wstring userName() {
    std::wstring name(256, L'\0');
    DWORD length = static_cast<DWORD>(name.size());
    if (GetUserNameW(name.data(), &length) == 0 || length == 0) {
        return {};
    }
    name.resize(length - 1);
    return name;
}

// Whether the object's owner is the user: another user could have made a mutex
// of that name first.
bool ownedBy(HANDLE object, const std::wstring& sid) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    PSID user = nullptr;
    const bool same = ConvertStringSidToSidW(sid.c_str(), &user) != 0 && EqualSid(owner, user) != 0;
    LocalFree(user);
    LocalFree(descriptor);
    return same;
}

} // namespace

// Global\ makes the lock one for all of the user's sessions (a second
// remote-desktop session of the same user would otherwise run a second copy on
// the same UDP port); a mutex there needs no privilege, unlike a file mapping.
// The user owns it and alone may open it.
InstanceLock::InstanceLock(const std::wstring& program) {
    const std::wstring sid = userSid();
    if (sid.empty()) { // no SID to name and guard it by: this session only, as
                       // the user
        mutex_ = CreateMutexW(nullptr, FALSE, (L"Local\\" + program + L"-" + userName()).c_str());
        acquired_ = !(mutex_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS);
        return;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring sddl = L"O:" + sid + L"D:P(A;;GA;;;" + sid + L")";
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                             nullptr) == 0) {
        descriptor = nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    mutex_ = CreateMutexW(descriptor != nullptr ? &attributes : nullptr, FALSE,
                          (L"Global\\" + program + L"-" + sid).c_str());
    const bool existed = mutex_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    LocalFree(descriptor);
    // A lock of that name that the user does not own is not a copy of ours: run,
    // unlocked.
    acquired_ = !existed || !ownedBy(mutex_, sid);
}

InstanceLock::~InstanceLock() {
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

} // namespace fw
