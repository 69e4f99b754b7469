#include "platform/throw_hook.h"
#include "platform/type_name.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace zel::platform {
namespace {

struct seen_exception {
    std::string type;
    std::string message;
    bool has_address = false;
};

thread_local std::vector<seen_exception> seen;
thread_local bool throw_inside_observer = false;

void record(const thrown_exception& exception) noexcept {
    seen.push_back(
        {type_name(*exception.type), exception_message(exception), exception.throw_address != 0});
    if (throw_inside_observer) {
        try {
            throw std::logic_error("inner");
        } catch (const std::exception&) {
        }
    }
}

struct custom_error : std::logic_error {
    custom_error()
        : std::logic_error("custom text") {}
};

struct not_an_exception {
    int value = 0;
};

class ThrowHook : public testing::Test {
protected:
    void SetUp() override {
        seen.clear();
        set_throw_observer(&record);
    }
    void TearDown() override {
        set_throw_observer(nullptr);
        throw_inside_observer = false;
    }
};

template <typename Throw>
void throw_and_catch(Throw&& thrower) {
    try {
        thrower();
    } catch (...) {
    }
}

TEST_F(ThrowHook, EveryThrowIsSeenWithItsTypeAndMessage) {
    throw_and_catch([] { throw std::runtime_error("boom"); });
    throw_and_catch([] { (void)std::vector<int>{}.at(1); }); // thrown inside the C++ library
    throw_and_catch([] { throw custom_error(); });
    throw_and_catch([] { throw 42; });
    throw_and_catch([] { throw "plain text"; });
    throw_and_catch([] { throw std::string("a string"); });
    throw_and_catch([] { throw not_an_exception{}; });

    ASSERT_EQ(seen.size(), 7U);
    EXPECT_EQ(seen[0].type, "std::runtime_error");
    EXPECT_EQ(seen[0].message, "boom");
    EXPECT_TRUE(seen[0].has_address);
    EXPECT_EQ(seen[1].type, "std::out_of_range");
    EXPECT_NE(seen[1].message.find("vector"), std::string::npos);
    EXPECT_EQ(seen[2].type, "zel::platform::(anonymous namespace)::custom_error");
    EXPECT_EQ(seen[2].message, "custom text");
    EXPECT_EQ(seen[3].type, "int");
    EXPECT_EQ(seen[3].message, "");
    EXPECT_EQ(seen[4].type, "char const*");
    EXPECT_EQ(seen[4].message, "plain text");
    EXPECT_EQ(seen[5].message, "a string");
    EXPECT_EQ(seen[6].message, "");
}

TEST_F(ThrowHook, ThrowsInsideTheObserverAreNotReportedAgain) {
    throw_inside_observer = true;
    throw_and_catch([] { throw std::runtime_error("outer"); });
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].message, "outer");
}

TEST_F(ThrowHook, NothingIsSeenWithoutAnObserver) {
    set_throw_observer(nullptr);
    throw_and_catch([] { throw std::runtime_error("unseen"); });
    EXPECT_TRUE(seen.empty());
}

} // namespace
} // namespace zel::platform
