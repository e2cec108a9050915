// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/accounts.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/process.h"

namespace unitfleetd {
namespace {

class AccountsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        auto opened = StateStore::open(folder, error);
        ASSERT_TRUE(opened) << error;
        store.emplace(std::move(*opened));
        accounts.emplace(*store);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string folder = support::makeTempDir("unitfleetd-accounts");
    std::optional<StateStore> store;
    std::optional<Accounts> accounts;
};

TEST_F(AccountsTest, PasswordsSessionsAndDisabling) {
    std::string error;
    ASSERT_TRUE(accounts->addUser("ann", Role::Operator, "long enough secret", error)) << error;
    EXPECT_EQ(store->user("ann")->hash.find("long enough"), std::string::npos);
    EXPECT_FALSE(accounts->checkPassword("ann", "wrong password"));
    EXPECT_FALSE(accounts->checkPassword("nobody", "long enough secret"));
    ASSERT_TRUE(accounts->checkPassword("ann", "long enough secret"));

    auto session = accounts->startSession("ann", error);
    ASSERT_TRUE(session);
    auto who = accounts->fromSession(session->id);
    ASSERT_TRUE(who);
    EXPECT_EQ(who->role, Role::Operator);
    EXPECT_EQ(who->csrf, session->csrf);
    EXPECT_NE(session->id, session->csrf);

    // A changed role counts at the next request; a disabled user is out.
    auto ann = *store->user("ann");
    ann.role = Role::Viewer;
    store->updateUser(ann, error);
    EXPECT_EQ(accounts->fromSession(session->id)->role, Role::Viewer);
    ann.disabled = true;
    store->updateUser(ann, error);
    EXPECT_FALSE(accounts->fromSession(session->id));
    EXPECT_FALSE(accounts->checkPassword("ann", "long enough secret"));
    EXPECT_FALSE(accounts->fromSession("not-a-session"));
}

struct NameCase {
    const char* name;
    const char* password;
    const char* fault;  // empty: accepted
};

class NewUsers : public AccountsTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NewUsers, NamesAndPasswordsAreChecked) {
    std::string error;
    bool added = accounts->addUser(GetParam().name, Role::Viewer, GetParam().password, error);
    EXPECT_EQ(added, *GetParam().fault == 0) << error;
    if (!added) {
        EXPECT_NE(error.find(GetParam().fault), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, NewUsers,
                         ::testing::Values(NameCase{"ann.b-c_1", "0123456789", ""},
                                           NameCase{"", "0123456789", "invalid user name"},
                                           NameCase{"../x", "0123456789", "invalid user name"},
                                           NameCase{"a b", "0123456789", "invalid user name"},
                                           NameCase{"<script>", "0123456789", "invalid user name"},
                                           NameCase{"ann", "short", "at least 10"}));

TEST_F(AccountsTest, TokensAreShownOnceAndRevocable) {
    std::string error;
    auto token = accounts->addToken("ci", Role::Operator, error);
    ASSERT_TRUE(token) << error;
    EXPECT_EQ(token->rfind("ufd_", 0), 0u);
    auto who = accounts->fromToken(*token);
    ASSERT_TRUE(who);
    EXPECT_EQ(who->name, "ci");
    EXPECT_TRUE(who->viaToken);
    EXPECT_EQ(who->role, Role::Operator);

    std::string tampered = *token;
    tampered.back() = tampered.back() == 'a' ? 'b' : 'a';
    for (const std::string& bad :
         {tampered, std::string("ufd_"), std::string("ufd_1"), std::string("ufd_x_y"),
          std::string("ufd_99_abc"), std::string("Bearer")})
        EXPECT_FALSE(accounts->fromToken(bad)) << bad;

    store->revokeTokens("ci", error);
    EXPECT_FALSE(accounts->fromToken(*token));
}

}  // namespace
}  // namespace unitfleetd
