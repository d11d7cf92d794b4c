// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/InstanceLock.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

namespace fw {
namespace {

const std::wstring kProgram = L"FernwickLockTest";

// A second lock of the same user is refused while the first lives, and granted once it is gone.
TEST(InstanceLock, OneCopyPerUser) {
    {
        const InstanceLock first(kProgram);
        ASSERT_TRUE(first.acquired());
        EXPECT_FALSE(InstanceLock(kProgram).acquired());
        EXPECT_TRUE(InstanceLock(kProgram + L"Other").acquired());
    }
    EXPECT_TRUE(InstanceLock(kProgram).acquired());
}

// The lock is one for all of the user's sessions (a second remote-desktop session sees it), and
// only the user may open it: the user owns it and is the one entry of its access list.
TEST(InstanceLock, SharedAcrossSessionsOpenToTheUserOnly) {
    const std::wstring sid = InstanceLock::userSid();
    ASSERT_FALSE(sid.empty());
    const InstanceLock lock(kProgram);
    ASSERT_TRUE(lock.acquired());
    HANDLE global = OpenMutexW(READ_CONTROL, FALSE, (L"Global\\" + kProgram + L"-" + sid).c_str());
    ASSERT_NE(global, nullptr) << "not in the global namespace";

    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(global, SE_KERNEL_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl,
                              nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    PSID user = nullptr;
    ASSERT_NE(ConvertStringSidToSidW(sid.c_str(), &user), 0);
    EXPECT_TRUE(owner != nullptr && EqualSid(owner, user) != 0);
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 1);
    void* ace = nullptr;
    ASSERT_NE(GetAce(dacl, 0, &ace), 0);
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_NE(EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), user), 0);
    LocalFree(user);
    LocalFree(descriptor);
    CloseHandle(global);
}

} // namespace
} // namespace fw
