#include "image/DTPhotoDescText.h"
#include "slideshow2/DTSlideProperties.h"

#include <gtest/gtest.h>

#include <boost/algorithm/string/replace.hpp>


using namespace kestrel;
using slideshow2::ken_burns_desc;
using slideshow2::slide_properties_t;

namespace {

// A slide's properties as the first release stored them in a storyboard
// (archive version 9): a Windows path with characters that need escaping,
// a photo turned by the old three-quarter code 3, EXIF orientation applied.
const char* const stored_v9 = R"v9(<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>
<!DOCTYPE boost_serialization>
<boost_serialization signature="serialization::archive" version="9">
<slide-properties class_id="0" tracking_level="0" version="0">
	<ken-burns>&lt;?xml version=&quot;1.0&quot; encoding=&quot;UTF-8&quot; standalone=&quot;yes&quot; ?&gt;
&lt;!DOCTYPE boost_serialization&gt;
&lt;boost_serialization signature=&quot;serialization::archive&quot; version=&quot;9&quot;&gt;
&lt;ken-burns class_id=&quot;0&quot; tracking_level=&quot;0&quot; version=&quot;0&quot;&gt;
	&lt;landscape&gt;ls_center_out&lt;/landscape&gt;
	&lt;portrait&gt;pt_bt_out_2&lt;/portrait&gt;
&lt;/ken-burns&gt;
&lt;/boost_serialization&gt;

</ken-burns>
	<photo-properties>&lt;?xml version=&quot;1.0&quot; encoding=&quot;UTF-8&quot; standalone=&quot;yes&quot; ?&gt;
&lt;!DOCTYPE boost_serialization&gt;
&lt;boost_serialization signature=&quot;serialization::archive&quot; version=&quot;9&quot;&gt;
&lt;PhotoDesc class_id=&quot;0&quot; tracking_level=&quot;0&quot; version=&quot;0&quot;&gt;
	&lt;url&gt;C:\Users\Åsa\Pictures\Sommer &amp;amp; Meer\IMG &amp;lt;42&amp;gt;.jpg&lt;/url&gt;
	&lt;transform class_id=&quot;1&quot; tracking_level=&quot;0&quot; version=&quot;0&quot;&gt;
		&lt;rotate&gt;3&lt;/rotate&gt;
		&lt;correct_orientantion&gt;1&lt;/correct_orientantion&gt;
	&lt;/transform&gt;
&lt;/PhotoDesc&gt;
&lt;/boost_serialization&gt;

</photo-properties>
</slide-properties>
</boost_serialization>

)v9";

const char* const stored_url = "C:\\Users\\\xC3\x85sa\\Pictures\\Sommer & Meer\\IMG <42>.jpg";

// The text as the first release would have written it: archive version 9.
std::string as_version_9(std::string text) {
    const std::string root_version = "signature=\"serialization::archive\" version=\"";
    const std::size_t start = text.find(root_version);
    if (start == std::string::npos)
        return text;
    const std::size_t digits = start + root_version.size();
    const std::size_t end = text.find_first_not_of("0123456789", digits);
    if (end == std::string::npos || end == digits || text[end] != '"')
        return text;
    return text.replace(digits, end - digits, "9");
}

image::photo_desc photo(const std::string& url, int rotate, bool correct) {
    image::photo_desc desc;
    desc.url = url;
    desc.transform.rotate = rotate;
    desc.transform.correct_orientantion = correct;
    return desc;
}

void expect_photo(const image::photo_desc& expected, const image::photo_desc& actual) {
    EXPECT_EQ(expected.url, actual.url);
    EXPECT_EQ(expected.transform.rotate, actual.transform.rotate);
    EXPECT_EQ(expected.transform.correct_orientantion, actual.transform.correct_orientantion);
}

// Each inner text of `outer` reads back as the records given.
void expect_inner_records(const slide_properties_t& outer, const ken_burns_desc& motions,
                          const image::photo_desc& desc) {
    ken_burns_desc motions_read;
    EXPECT_TRUE(slideshow2::ken_burns_desc_from_xml(outer.ken_burns, motions_read));
    EXPECT_EQ(motions.landscape, motions_read.landscape);
    EXPECT_EQ(motions.portrait, motions_read.portrait);
    image::photo_desc desc_read;
    EXPECT_TRUE(image::photo_desc_from_xml(outer.photo_properties, desc_read));
    expect_photo(desc, desc_read);
}

} // namespace

TEST(SlideProperties, StoredVersion9TextReadsBack) {
    slide_properties_t outer;
    ASSERT_TRUE(slideshow2::slide_properties_from_xml(stored_v9, outer));
    const ken_burns_desc motions{"ls_center_out", "pt_bt_out_2"};
    const image::photo_desc desc = photo(stored_url, 3, true);
    expect_inner_records(outer, motions, desc);

    // What we write today differs from the stored text in the archive
    // version alone: element names, attributes, order and layout are kept.
    EXPECT_EQ(outer.ken_burns, as_version_9(slideshow2::ken_burns_desc_to_xml(motions)));
    EXPECT_EQ(outer.photo_properties, as_version_9(image::photo_desc_to_xml(desc)));
    EXPECT_EQ(stored_v9, as_version_9(slideshow2::slide_properties_to_xml(outer)));
}

TEST(SlideProperties, RoundTripKeepsInnerTextsByteForByte) {
    const image::photo_desc desc = photo("/home/åsa/<a> & \"b\" 'c'/photo.jpg", 4, false);
    const ken_burns_desc motions{"ls_diag_br_out", "no_such_motion"};
    const slide_properties_t written{slideshow2::ken_burns_desc_to_xml(motions),
                                     image::photo_desc_to_xml(desc)};
    ASSERT_FALSE(written.ken_burns.empty());
    ASSERT_FALSE(written.photo_properties.empty());
    const std::string text = slideshow2::slide_properties_to_xml(written);

    slide_properties_t read;
    ASSERT_TRUE(slideshow2::slide_properties_from_xml(text, read));
    EXPECT_EQ(written.ken_burns, read.ken_burns);
    EXPECT_EQ(written.photo_properties, read.photo_properties);
    expect_inner_records(read, motions, desc);
}

// A stored text cut anywhere before its record ends is refused, never a
// crash; once the record is whole, a missing root end tag does not matter.
TEST(SlideProperties, EveryTruncationIsRefusedUntilTheRecordIsWhole) {
    const std::string text = stored_v9;
    const std::size_t whole = text.find("</slide-properties>") + 19;
    for (std::size_t n = 0; n <= text.size(); ++n) {
        slide_properties_t read;
        EXPECT_EQ(n >= whole, slideshow2::slide_properties_from_xml(text.substr(0, n), read))
            << "cut at " << n;
    }
    const std::string inner = image::photo_desc_to_xml(photo("/p.jpg", 1, true));
    const std::size_t inner_whole = inner.find("</PhotoDesc>") + 12;
    for (std::size_t n = 0; n <= inner.size(); ++n) {
        image::photo_desc read;
        EXPECT_EQ(n >= inner_whole, image::photo_desc_from_xml(inner.substr(0, n), read))
            << "cut at " << n;
    }
}

// Refused texts: a record keeps what was read before the failure, and the
// empty text touches nothing.
TEST(SlideProperties, UnreadableTextsAreRefused) {
    const std::string ken_burns = slideshow2::ken_burns_desc_to_xml({"ls_lr_out", "pt_tb_out_1"});
    const std::string desc = image::photo_desc_to_xml(photo("/a.jpg", 2, true));
    // Every occurrence, so that a renamed element keeps matching tags.
    const auto replaced = [](const std::string& text, const char* from, const std::string& to) {
        return boost::algorithm::replace_all_copy(text, from, to);
    };
    for (const std::string& bad :
         {std::string(), std::string("not xml"), ken_burns, replaced(desc, "<rotate>2", "<rotate>x"),
          replaced(desc, "<correct_orientantion>1", "<correct_orientantion>7"),
          replaced(desc, "serialization::archive", "serialization::other"),
          replaced(desc, "url>", "uri>"), replaced(desc, "PhotoDesc", "PhotoDescription"),
          replaced(desc, "url>", std::string(200, 'u') + ">")}) {
        image::photo_desc read = photo("kept", 1, false);
        EXPECT_FALSE(image::photo_desc_from_xml(bad, read)) << bad;
        EXPECT_EQ(1, read.transform.rotate);
    }
    for (const std::string& bad : {desc, replaced(ken_burns, "portrait", "portret")}) {
        ken_burns_desc read;
        EXPECT_FALSE(slideshow2::ken_burns_desc_from_xml(bad, read)) << bad;
    }
    for (const std::string& bad : {desc, ken_burns}) {
        slide_properties_t read;
        EXPECT_FALSE(slideshow2::slide_properties_from_xml(bad, read)) << bad;
    }
    ken_burns_desc motions{"kept", "kept"};
    slide_properties_t properties{"kept", "kept"};
    image::photo_desc photo_read = photo("kept", 1, true);
    EXPECT_FALSE(slideshow2::ken_burns_desc_from_xml("", motions));
    EXPECT_FALSE(slideshow2::slide_properties_from_xml("", properties));
    EXPECT_FALSE(image::photo_desc_from_xml("", photo_read));
    EXPECT_EQ("kept", motions.landscape);
    EXPECT_EQ("kept", properties.ken_burns);
    expect_photo(photo("kept", 1, true), photo_read);
}

TEST(SlideProperties, ABrokenTransformStillDeliversTheUrl) {
    std::string text = image::photo_desc_to_xml(photo("/new.jpg", 4, true));
    text.replace(text.find("<rotate>4"), 9, "<rotate>?");
    image::photo_desc read = photo("/old.jpg", 2, false);
    EXPECT_FALSE(image::photo_desc_from_xml(text, read));
    expect_photo(photo("/new.jpg", 2, false), read);
}
