// Whose identity the Linux service takes at its start, with the identity
// steps recorded instead of taken (so it runs as any user); the user database
// itself is read for real.
#include "platform/linux/linux_service_start.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>

#include "service/service_arguments.h"

namespace tolvane {
namespace {

TEST(TakeServiceUserTest, TakesOnlyTheUserItMayActForAndThatUsersRightsOnlyAsRoot) {
    constexpr uid_t kAlice = 1000;
    struct Case {
        const char* name;
        uid_t runningAs;
        std::optional<std::uint32_t> user;
        bool known;         // the user database has the user
        uid_t databaseUid;  // the uid it answers with
        bool rightsTaken;   // the kernel takes the user's file identity
        int exitStatus;
        const char* problem;  // a part of it
        std::optional<uid_t> lookedUp;
        std::optional<uid_t> rightsOf;
    };
    // clang-format off
    const Case cases[] = {
        {"a user for itself", kAlice, std::nullopt, true, kAlice, true, 0, "", {}, {}},
        {"a user naming itself", kAlice, kAlice, true, kAlice, true, 0, "", {}, {}},
        {"a user naming another", kAlice, 1001, true, 1001, true, kServiceRefused,
         "only root can act for user 1001", {}, {}},
        {"root with no user", 0, std::nullopt, true, 0, true, kServiceRefused, "needs --user", {}, {}},
        {"root for root", 0, 0, true, 0, true, kServiceRefused, "does not act for root", {}, {}},
        {"root for an unknown user", 0, 4242, false, 4242, true, kServiceRefused,
         "no user with the number 4242", 4242, {}},
        {"root for a user", 0, kAlice, true, kAlice, true, 0, "", kAlice, kAlice},
        {"root, the user's rights refused", 0, kAlice, true, kAlice, false, 1, "groups", kAlice, kAlice},
        {"root, the database answering for another user", 0, kAlice, true, 0, true, kServiceRefused,
         "gave uid 0 for the number 1000", kAlice, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        std::optional<uid_t> lookedUp, rightsOf;
        UserIdentitySteps steps;
        steps.lookUp = [&](uid_t uid, std::string& error) -> std::optional<UserIdentity> {
            lookedUp = uid;
            if (!c.known) {
                error = "no user with the number " + std::to_string(uid);
                return std::nullopt;
            }
            return UserIdentity{c.databaseUid, 100, {100, 27}, "alice"};
        };
        steps.useRightsForFiles = [&](const UserIdentity& user, std::string& error) {
            rightsOf = user.uid;
            if (!c.rightsTaken) error = "the user's groups could not be taken";
            return c.rightsTaken;
        };
        const LinuxServiceStart start = TakeServiceUser(c.runningAs, c.user, steps);
        EXPECT_EQ(start.exitStatus, c.exitStatus) << c.name << ": " << start.problem;
        EXPECT_NE(start.problem.find(c.problem), std::string::npos)
            << c.name << ": " << start.problem;
        if (c.exitStatus == 0) {
            EXPECT_EQ(start.problem, "") << c.name;
            EXPECT_EQ(start.owner, c.user.value_or(c.runningAs)) << c.name;
            // As the records name the user: the database's name where root
            // looked it up, the number where the user runs its own.
            EXPECT_EQ(start.ownerName, c.runningAs == 0 ? "alice" : std::to_string(kAlice))
                << c.name;
        }
        EXPECT_EQ(lookedUp, c.lookedUp) << c.name;
        EXPECT_EQ(rightsOf, c.rightsOf) << c.name;
    }
}

TEST(LookUpUserTest, GivesTheRunningUsersIdentityAndRefusesANumberNobodyHas) {
    std::string error;
    const auto me = LookUpUser(::getuid(), error);
    ASSERT_TRUE(me) << error;
    EXPECT_EQ(me->uid, ::getuid());
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(me->gid, entry->pw_gid);
    EXPECT_EQ(me->name, entry->pw_name);
    // The primary group counts among the groups the kernel checks.
    EXPECT_NE(std::find(me->groups.begin(), me->groups.end(), entry->pw_gid), me->groups.end());

    uid_t nobody = 4242424;
    while (::getpwuid(nobody)) ++nobody;
    EXPECT_FALSE(LookUpUser(nobody, error));
    EXPECT_NE(error.find("no user with the number " + std::to_string(nobody)), std::string::npos)
        << error;
}

}  // namespace
}  // namespace tolvane
