#include "ffmpeg/DTFFCodecOptions.h"
#include "ffmpeg/DTFFHandles.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/opt.h>
}

#include <boost/lexical_cast/bad_lexical_cast.hpp>

using namespace kestrel;

namespace {

AVCodecContextPtr x264_context() {
    return AVCodecContextPtr(avcodec_alloc_context3(avcodec_find_encoder_by_name("libx264")),
                             details::_AVCodecContextDestroy());
}

std::string option_text(AVCodecContext* context, const char* name) {
    uint8_t* value = nullptr;
    if (av_opt_get(context, name, AV_OPT_SEARCH_CHILDREN, &value) < 0)
        return "<none>";
    const std::string text = reinterpret_cast<char*>(value);
    av_free(value);
    return text;
}

// Applies the one entry and returns what was logged.
std::string apply(AVCodecContext* context, const std::string& key, const std::string& value) {
    testing::internal::CaptureStdout();
    apply_ffmpeg_video_options(context, media_settings::create(key, value));
    return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(FFCodecOptions, KeyGrammar) {
    std::string name = "untouched";
    std::string type = "untouched";
    EXPECT_TRUE(parse_ffmpeg_video_option_key("ffmpeg/video/crf[float]", name, type));
    EXPECT_EQ("crf", name);
    EXPECT_EQ("float", type);
    EXPECT_TRUE(parse_ffmpeg_video_option_key("ffmpeg/video/x264:opt-1_a[]", name, type));
    EXPECT_EQ("x264:opt-1_a", name);
    EXPECT_EQ("", type);

    name = type = "untouched";
    for (const char* key :
         {"ffmpeg/video/threads", "ffmpeg/video/thr eads[int]", "xffmpeg/video/threads[int]",
          "ffmpeg/video/threads[int]x", "ffmpeg/video/[int]", "FFMPEG/video/threads[int]",
          "ffmpeg/audio/threads[int]"}) {
        EXPECT_FALSE(parse_ffmpeg_video_option_key(key, name, type)) << key;
    }
    EXPECT_EQ("untouched", name);
    EXPECT_EQ("untouched", type);
}

TEST(FFCodecOptions, ValuesAreSetByTheirType) {
    AVCodecContextPtr context = x264_context();
    EXPECT_EQ("[kestrel][info][ffmpeg video encoder] : set param \"crf\" : \"23\"\n",
              apply(context.get(), "ffmpeg/video/crf[float]", "23"));
    EXPECT_EQ("23.000000", option_text(context.get(), "crf"));
    apply(context.get(), "ffmpeg/video/profile[str]", "baseline");
    EXPECT_EQ("baseline", option_text(context.get(), "profile"));
    apply(context.get(), "ffmpeg/video/level[string]", "41");
    EXPECT_EQ("41", option_text(context.get(), "level"));
    apply(context.get(), "ffmpeg/video/threads[int]", "3");
    EXPECT_EQ(3, context->thread_count);
    apply(context.get(), "ffmpeg/video/qcomp[double]", "0.25");
    EXPECT_FLOAT_EQ(0.25f, context->qcompress);
    apply(context.get(), "ffmpeg/video/g[integer]", "-1");
    EXPECT_EQ(-1, context->gop_size);
}

TEST(FFCodecOptions, OtherTypesAreLoggedButNotApplied) {
    AVCodecContextPtr context = x264_context();
    const int threads = context->thread_count;
    EXPECT_EQ("[kestrel][info][ffmpeg video encoder] : set param \"threads\" : \"5\"\n",
              apply(context.get(), "ffmpeg/video/threads[]", "5"));
    EXPECT_NE("", apply(context.get(), "ffmpeg/video/threads[INT]", "5"));
    EXPECT_EQ(threads, context->thread_count);
    EXPECT_EQ("", apply(context.get(), "ffmpeg/video/threads", "5"));
    EXPECT_EQ("", apply(context.get(), "video/threads[int]", "5"));
}

// A misspelt key or a value the codec refuses is named in a warning line and
// leaves the context as it was.
TEST(FFCodecOptions, RefusedOptionsAreWarnedAboutByKey) {
    AVCodecContextPtr context = x264_context();
    const int threads = context->thread_count;
    const struct {
        const char* key;
        const char* value;
    } refused[] = {{"ffmpeg/video/no_such_option[int]", "1"},
                   {"ffmpeg/video/threads[int]", "-5"},
                   {"ffmpeg/video/threads[str]", "many"}};
    for (const auto& entry : refused) {
        const std::string log = apply(context.get(), entry.key, entry.value);
        EXPECT_NE(std::string::npos,
                  log.find(std::string("[kestrel][warning][ffmpeg video encoder] : option \"") +
                           entry.key + "\" refused \"" + entry.value + "\"\n"))
            << log;
    }
    EXPECT_EQ(threads, context->thread_count);
    EXPECT_EQ(std::string::npos, apply(context.get(), "ffmpeg/video/threads[int]", "2").find("warning"));
}

TEST(FFCodecOptions, NumbersThatDoNotConvertThrow) {
    AVCodecContextPtr context = x264_context();
    testing::internal::CaptureStdout();
    EXPECT_THROW(apply_ffmpeg_video_options(
                     context.get(), media_settings::create("ffmpeg/video/threads[int]", "four")),
                 boost::bad_lexical_cast);
    EXPECT_THROW(apply_ffmpeg_video_options(
                     context.get(), media_settings::create("ffmpeg/video/crf[float]", "1,5")),
                 boost::bad_lexical_cast);
    testing::internal::GetCapturedStdout();
}

TEST(FFCodecOptions, LaterKeyForTheSameOptionWins) {
    AVCodecContextPtr context = x264_context();
    media_settings_ptr settings = media_settings::create("ffmpeg/video/threads[integer]", "3");
    settings->set("ffmpeg/video/threads[int]", "2");
    testing::internal::CaptureStdout();
    apply_ffmpeg_video_options(context.get(), settings);
    EXPECT_EQ("[kestrel][info][ffmpeg video encoder] : set param \"threads\" : \"2\"\n"
              "[kestrel][info][ffmpeg video encoder] : set param \"threads\" : \"3\"\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(3, context->thread_count);
}

TEST(FFCodecOptions, ListingShowsPrivateOptionsThroughTheLog) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    testing::internal::CaptureStdout();
    dump_ffmpeg_codec_options(avcodec_get_class(), AV_OPT_FLAG_ENCODING_PARAM);
    dump_ffmpeg_codec_options(codec->priv_class, AV_OPT_FLAG_ENCODING_PARAM);
    const std::string listing = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, listing.find("[ffmpeg]"));
    EXPECT_NE(std::string::npos, listing.find("threads"));
    EXPECT_NE(std::string::npos, listing.find("crf"));
}
