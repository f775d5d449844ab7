#include "web/FormText.h"

#include <gtest/gtest.h>

using namespace vorn::web;

TEST(FormText, FieldsAreDecodedAndBrokenEscapesRefused) {
    EXPECT_EQ(formField("user=op%40plant&password=a+b%2Bc", "user"), "op@plant");
    EXPECT_EQ(formField("user=op%40plant&password=a+b%2Bc", "password"), "a b+c");
    EXPECT_EQ(formField("branch=", "branch"), "");
    EXPECT_FALSE(formField("user=x", "password"));
    EXPECT_FALSE(formField("user=%4", "user")) << "an escape cut short";
    EXPECT_FALSE(formField("user=%zz", "user"));
    EXPECT_FALSE(formField("user=%", "user"));
    EXPECT_EQ(formField("a=1&&b=%C3%A4", "b"), "\xC3\xA4") << "empty parts are skipped";
}

TEST(FormText, TheSessionCookieIsFoundAmongOthers) {
    EXPECT_EQ(cookieValue("theme=dark; vorn_session=abc; other=1", "vorn_session"), "abc");
    EXPECT_EQ(cookieValue("vorn_sessionx=abc", "vorn_session"), "");
    EXPECT_EQ(cookieValue("", "vorn_session"), "");
}
