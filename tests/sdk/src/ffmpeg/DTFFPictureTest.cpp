#include "ffmpeg/DTFFPicture.h"

#include "base/DTErrors.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
}

using namespace kestrel;

TEST(FFPicture, WrappedRgbFrameReportsFourPlanes) {
    AVFramePtr frame = dt_create_picture(AV_PIX_FMT_RGB24, 6, 4);
    ff_video_data picture(frame, 6, 4, AV_PIX_FMT_RGB24);
    EXPECT_EQ(4, picture.planes_count());
    EXPECT_EQ(72, picture.size());
    for (int plane = 1; plane <= 3; ++plane) {
        EXPECT_EQ(nullptr, picture.plane_data(plane));
        EXPECT_EQ(0, picture.line_size(plane));
    }
    EXPECT_EQ(nullptr, picture.plane_data(8));
    EXPECT_EQ(0, picture.line_size(-1));
}

TEST(FFPicture, TwoPicturesOverOneFrameShareThePixels) {
    AVFramePtr frame = dt_create_picture(AV_PIX_FMT_YUV420P, 16, 16);
    auto first = boost::make_shared<ff_video_data>(frame, 16, 16, AV_PIX_FMT_YUV420P);
    auto second = boost::make_shared<ff_video_data>(frame, 16, 16, AV_PIX_FMT_YUV420P);
    frame.reset();
    first->plane_data(0)[0] = 201;
    EXPECT_EQ(201, second->plane_data(0)[0]);
    first.reset();
    EXPECT_EQ(201, second->data()[0]); // still alive
    EXPECT_EQ(av_image_get_buffer_size(AV_PIX_FMT_YUV420P, 16, 16, 1), second->size());
}

TEST(FFPicture, DeepCopyKeepsPlaneCountAndOwnsItsPixels) {
    video_data_ptr copy;
    {
        AVFramePtr frame = dt_create_picture(AV_PIX_FMT_YUV420P, 8, 6);
        for (int plane = 0; plane < 3; ++plane)
            std::memset(frame->data[plane], 10 + plane, frame->linesize[plane] * (plane ? 3 : 6));
        ff_video_data source(frame, 8, 6, AV_PIX_FMT_YUV420P);
        copy = source.copy();
        EXPECT_NE(source.plane_data(0), copy->plane_data(0));
    }
    EXPECT_EQ(4, copy->planes_count());
    EXPECT_EQ(10, copy->plane_data(0)[8 * 6 - 1 + (copy->line_size(0) - 8) * 5]);
    EXPECT_EQ(11, copy->plane_data(1)[0]);
    EXPECT_EQ(12, copy->plane_data(2)[3]);
}

TEST(FFPicture, RefusedSizeThrowsUnexpectedWithFFmpegDetails) {
    try {
        dt_create_picture(AV_PIX_FMT_RGB24, -5, 10);
        FAIL();
    } catch (const errors::unexpected& e) {
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_api_function>(e));
        EXPECT_EQ("av_image_alloc", std::string(*boost::get_error_info<errinfo_api_function>(e)));
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_errno>(e));
        EXPECT_GT(*boost::get_error_info<errinfo_errno>(e), 0);
    }
}

TEST(FFPicture, DecodedFrameIsEmptyAndFreedAlone) {
    AVFramePtr frame = dt_create_decoded_frame();
    EXPECT_EQ(nullptr, frame->data[0]);
    EXPECT_EQ(nullptr, frame->buf[0]);

    // A picture without planes of its own: the frame goes (giving back the
    // buffer reference it holds), pointers it does not own are left alone.
    AVBufferRef* payload = av_buffer_alloc(64);
    uint8_t not_owned[16];
    {
        AVFramePtr unallocated(av_frame_alloc(), details::_AVPictureDestroy());
        unallocated->buf[0] = av_buffer_ref(payload);
        unallocated->data[1] = not_owned;
        EXPECT_EQ(2, av_buffer_get_ref_count(payload));
    }
    EXPECT_EQ(1, av_buffer_get_ref_count(payload));
    av_buffer_unref(&payload);
}
