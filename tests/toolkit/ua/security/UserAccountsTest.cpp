// Account texts as the registry file keeps them: salted slow hashes that never contain the
// password, a fresh salt each time, and texts that are not ours refused rather than trusted.
#include "toolkit/ua/security/UserAccounts.h"

#include <gtest/gtest.h>

using namespace vorn::ua::security;

TEST(UserAccounts, HashesAreSaltedAndOnlyTheRightPasswordMatches) {
    std::string first = hashPassword("Pump-House-7");
    std::string second = hashPassword("Pump-House-7");
    EXPECT_NE(first, second); // salted
    EXPECT_EQ(first.find("Pump-House-7"), std::string::npos);
    EXPECT_TRUE(passwordMatches("Pump-House-7", first));
    EXPECT_TRUE(passwordMatches("Pump-House-7", second));
    EXPECT_FALSE(passwordMatches("pump-house-7", first));
    EXPECT_FALSE(passwordMatches("", first));
}

TEST(UserAccounts, AccountTextsRoundTripAndForeignOnesAreRefused) {
    UserAccount account{UserRole::read, hashPassword("x")};
    auto back = parseAccount(formatAccount(account));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->role, UserRole::read);
    EXPECT_EQ(back->passwordHash, account.passwordHash);
    for (const char* text :
         {"", "read", "admin:" /* unknown role */, "read:plaintext",
          "readwrite:pbkdf2-sha256$0$00$00", "readwrite:pbkdf2-sha256$99999999999$00$00",
          "read:pbkdf2-sha256$1000$zz$00", "read:pbkdf2-sha256$1000$00$"})
        EXPECT_FALSE(parseAccount(text)) << text;
}

TEST(UserAccounts, UserNamesAreShortAndPlain) {
    EXPECT_TRUE(isValidUserName("operator.1@plant-2_b"));
    EXPECT_FALSE(isValidUserName(""));
    EXPECT_FALSE(isValidUserName("a=b"));
    EXPECT_FALSE(isValidUserName("line\nbreak"));
    EXPECT_FALSE(isValidUserName("[section]"));
    EXPECT_FALSE(isValidUserName(std::string(65, 'a')));
}
