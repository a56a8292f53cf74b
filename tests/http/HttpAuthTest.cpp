// Challenge parsing and the Basic and NTLM schemes, the NTLM one over a
// scripted security context.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "upload/http/Base64.h"
#include "upload/http/HttpAuth.h"

using namespace Corvane::Http;

namespace {

TEST(Challenges, SchemesAndParametersAcrossFields) {
    auto list = ParseChallenges({"Basic realm=\"up, load\", charset=\"UTF-8\", NTLM", "Negotiate abc==",
                                 "NTLM TlRMTVNTUAACAAAA"});
    ASSERT_EQ(4u, list.size());
    EXPECT_EQ("Basic", list[0].scheme);
    EXPECT_EQ("realm=\"up, load\", charset=\"UTF-8\"", list[0].params);
    EXPECT_EQ("NTLM", list[1].scheme);
    EXPECT_EQ("", list[1].params);
    EXPECT_EQ("Negotiate", list[2].scheme);
    EXPECT_EQ("abc==", list[2].params);
    EXPECT_EQ("TlRMTVNTUAACAAAA", list[3].params);
    EXPECT_TRUE(ParseChallenges({"", " , ,", "=x", "\"quoted\""}).empty());
}

TEST(BasicScheme, AnswersOnceWithCredentialsAndNeverWithout) {
    BasicAuth none;
    std::string value;
    EXPECT_FALSE(none.Answer("realm=\"x\"", value));

    BasicAuth basic("Aladdin", "open sesame");
    ASSERT_TRUE(basic.Answer("realm=\"x\"", value));
    EXPECT_EQ("Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==", value);
    EXPECT_FALSE(basic.Answer("realm=\"x\"", value)) << "refused credentials are not sent again";
    basic.Reset();
    EXPECT_TRUE(basic.Answer("", value));
}

// Records the tokens it is given and returns scripted ones.
class ScriptedContext : public SecurityContext {
public:
    ScriptedContext(std::vector<std::string>* seen, std::vector<std::string> out, int failAt)
        : seen_(seen), out_(std::move(out)), failAt_(failAt) {}
    bool Step(const std::string& server, std::string& client) override {
        seen_->push_back(server);
        if (static_cast<int>(seen_->size()) == failAt_ || seen_->size() > out_.size()) return false;
        client = out_[seen_->size() - 1];
        return true;
    }

private:
    std::vector<std::string>* seen_;
    std::vector<std::string> out_;
    int failAt_;
};

struct NtlmFixture : ::testing::Test {
    std::vector<std::string> seen;
    int failAt = 0;
    int created = 0;
    NtlmAuth ntlm{[this] {
        ++created;
        return std::unique_ptr<SecurityContext>(
            new ScriptedContext(&seen, {std::string("NEG\x01", 4), std::string("RESP\0x", 6)}, failAt));
    }};
};

TEST_F(NtlmFixture, NegotiateThenResponse) {
    std::string value;
    ASSERT_TRUE(ntlm.Answer("", value));
    EXPECT_EQ("NTLM " + Base64Encode(std::string("NEG\x01", 4)), value);
    ASSERT_TRUE(ntlm.Answer(Base64Encode("CHALLENGE"), value));
    EXPECT_EQ("NTLM " + Base64Encode(std::string("RESP\0x", 6)), value);
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("", seen[0]);
    EXPECT_EQ("CHALLENGE", seen[1]);
    EXPECT_FALSE(ntlm.Answer("", value)) << "a refusal after the response ends the exchange";
    EXPECT_FALSE(ntlm.Answer(Base64Encode("again"), value));
    EXPECT_TRUE(ntlm.BoundToConnection());
}

TEST_F(NtlmFixture, OutOfOrderOrBrokenChallengesAreDeclined) {
    std::string value;
    EXPECT_FALSE(ntlm.Answer(Base64Encode("CHALLENGE"), value)) << "challenge before negotiate";
    ASSERT_TRUE(ntlm.Answer("", value));
    EXPECT_FALSE(ntlm.Answer("not base64!", value));
    ntlm.Reset();
    ASSERT_TRUE(ntlm.Answer("", value));
    EXPECT_FALSE(ntlm.Answer(std::string(NtlmAuth::kMaxTokenBytes * 2 + 4, 'A'), value));
    EXPECT_EQ(2, created) << "Reset starts a fresh context";
}

TEST_F(NtlmFixture, SecurityPackageFailureDeclines) {
    failAt = 1;
    std::string value;
    EXPECT_FALSE(ntlm.Answer("", value));
    NtlmAuth noFactory{SecurityContextFactory()};
    EXPECT_FALSE(noFactory.Answer("", value));
}

}  // namespace
