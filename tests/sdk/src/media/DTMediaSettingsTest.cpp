#include "media/DTMediaSettings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

using namespace kestrel;

namespace {
std::string dump(const media_settings_ptr& settings) {
    std::ostringstream out;
    out << *settings;
    return out.str();
}
} // namespace

TEST(MediaSettings, AbsentAndEmptyValues) {
    auto s = media_settings::create();
    s->set("empty", "");
    EXPECT_EQ("", s->get("absent"));
    EXPECT_EQ("", s->get("empty"));
    EXPECT_FALSE(s->contains("absent"));
    EXPECT_TRUE(s->contains("empty"));
    EXPECT_FALSE(s->get_optional("absent"));
    EXPECT_EQ(std::string(), *s->get_optional("empty"));
    EXPECT_EQ("fallback", s->get<std::string>("empty", "fallback"));
}

TEST(MediaSettings, IntegerGetters) {
    auto s = media_settings::create();
    s->set("empty", "")->set("abc", "abc")->set("blank", " 5")->set("plus", "+42");
    EXPECT_EQ(180, s->get<int>("absent", 180));
    EXPECT_EQ(180, s->get<int>("empty", 180));
    EXPECT_THROW(s->get<int>("abc", 180), boost::bad_lexical_cast);
    EXPECT_THROW(s->get<int>("blank", 180), boost::bad_lexical_cast);
    EXPECT_THROW(s->get<int>("absent"), boost::bad_lexical_cast);
    EXPECT_EQ(42, s->get<int>("plus"));

    s->set("max", "2147483647")->set("min", "-2147483648")->set("over", "2147483648");
    EXPECT_EQ(std::numeric_limits<int>::max(), s->get<int>("max"));
    EXPECT_EQ(std::numeric_limits<int>::min(), s->get<int>("min"));
    EXPECT_THROW(s->get<int>("over"), boost::bad_lexical_cast);

    s->set("minus-one", "-1")->set("big", "4294967296")->set("point", "1.5");
    EXPECT_EQ(4294967295u, s->get<unsigned int>("minus-one"));
    EXPECT_THROW(s->get<unsigned int>("big"), boost::bad_lexical_cast);
    EXPECT_THROW(s->get<int>("point"), boost::bad_lexical_cast);
    EXPECT_EQ(4294967296ull, s->get<unsigned long long>("big"));
}

TEST(MediaSettings, BooleanGetter) {
    auto s = media_settings::create();
    s->set("true", "true")->set("plus-one", "+1")->set("minus-zero", "-0")->set("one", "1");
    EXPECT_THROW(s->get<bool>("true"), boost::bad_lexical_cast);
    EXPECT_THROW(s->get<bool>("absent"), boost::bad_lexical_cast);
    EXPECT_TRUE(s->get<bool>("plus-one"));
    EXPECT_TRUE(s->get<bool>("one"));
    EXPECT_FALSE(s->get<bool>("minus-zero"));
}

TEST(MediaSettings, NumbersToText) {
    auto s = media_settings::create();
    s->set("a", 0.1)->set("b", -7)->set("c", 6.0)->set("d", 29.97)->set("e", 1e20)->set("f", 1.2);
    s->set("nan", std::numeric_limits<double>::quiet_NaN());
    s->set("-inf", -std::numeric_limits<double>::infinity());
    EXPECT_EQ("0.10000000000000001", s->get("a"));
    EXPECT_EQ("-7", s->get("b"));
    EXPECT_EQ("6", s->get("c"));
    EXPECT_EQ("29.969999999999999", s->get("d"));
    EXPECT_EQ("1e+20", s->get("e"));
    EXPECT_EQ("1.2", s->get("f"));
    EXPECT_EQ("nan", s->get("nan"));
    EXPECT_EQ("-inf", s->get("-inf"));
    EXPECT_EQ("0.80000000000000004", media_settings::create<double>("x", 0.8)->get("x"));
}

TEST(MediaSettings, DoubleGetter) {
    auto s = media_settings::create();
    s->set("sign", "+1.5e3")->set("inf", "inf")->set("comma", "1,5")->set("empty", "");
    EXPECT_DOUBLE_EQ(1500.0, s->get<double>("sign"));
    EXPECT_TRUE(std::isinf(s->get<double>("inf")));
    EXPECT_THROW(s->get<double>("comma"), boost::bad_lexical_cast);
    EXPECT_THROW(s->get<double>("empty"), boost::bad_lexical_cast);
    EXPECT_DOUBLE_EQ(6.0, s->get<double>("empty", 6.0));
}

TEST(MediaSettings, NumbersIgnoreADecimalCommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const std::locale saved_global;
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    std::locale::global(std::locale("de_DE.UTF-8"));

    auto s = media_settings::create();
    s->set("a", 0.1)->set("b", 6.0)->set("c", 1234567);
    const std::string a = s->get("a"), b = s->get("b"), c = s->get("c");
    const double a_back = s->get<double>("a");
    const double parsed = media_settings::create()->set("x", "1.25")->get<double>("x");

    std::locale::global(saved_global);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ("0.10000000000000001", a);
    EXPECT_EQ("6", b);
    EXPECT_EQ("1234567", c);
    EXPECT_DOUBLE_EQ(0.1, a_back);
    EXPECT_DOUBLE_EQ(1.25, parsed);
}

TEST(MediaSettings, MergeCloneAndDump) {
    auto target = media_settings::create();
    target->set("a", "2")->set("b", "3");
    auto other = media_settings::create();
    other->set("a", "1");
    target->merge(other)->merge(media_settings_ptr());
    EXPECT_EQ("1", target->get("a"));
    EXPECT_EQ("3", target->get("b"));

    auto copy = media_settings::clone(target);
    copy->set("a", "changed");
    EXPECT_EQ("1", target->get("a"));
    EXPECT_EQ("{}", dump(media_settings::clone(media_settings_ptr())));

    auto keys = media_settings::create();
    keys->set("a", "1")->set("A", "x");
    EXPECT_EQ("{\"A\":\"x\";\"a\":\"1\"}", dump(keys));

    int count = 0;
    for (auto it = keys->begin(); it != keys->end(); ++it)
        ++count;
    EXPECT_EQ(2, count);
}
