#include "ffmpeg/DTFFSwresample.h"

#include "ffmpeg/DTFFChannelLayout.h"
#include "ffmpeg/DTFFGlobal.h"

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

namespace kestrel {

namespace {

const ffmpeg_global_init_request ffmpeg_init;

// Room the work buffer always has beyond the expected output.
const double work_buffer_slack = 1024.0;

// The highest sample rate of real sound; the resampler's filter grows with
// the ratio of the rates, to gigabytes for the rates a damaged file claims.
const int highest_sample_rate = 768000;

const audio_format& checked(const audio_format* format) {
    if (!format)
        KESTREL_THROW(errors::invalid_pointer());
    return *format;
}

// Where each channel's samples of a block of `frames` frames lie: one
// pointer for interleaved formats, one per channel for planar ones.
std::vector<uint8_t*> plane_pointers(const audio_format& format, uint8_t* data,
                                     unsigned int frames) {
    if (!format.is_planar())
        return std::vector<uint8_t*>(1, data);
    const std::size_t plane =
        static_cast<std::size_t>(frames) * (format.bytes_per_frame() / format.channels());
    std::vector<uint8_t*> planes(static_cast<std::size_t>(format.channels()));
    for (std::size_t channel = 0; channel < planes.size(); ++channel)
        planes[channel] = data ? data + channel * plane : nullptr;
    return planes;
}

} // namespace

SwrContextPtr swr_alloc_set_opts_(const audio_format& source, const audio_format& target) {
    for (const audio_format* format : {&source, &target})
        if (format->sample_rate() <= 0 || format->sample_rate() > highest_sample_rate)
            KESTREL_THROW(ff_swresample::error() << errinfo_api_function("swr_alloc_set_opts2"));
    AVChannelLayout source_layout = ff_channel_layout(source.channel_layout(), source.channels());
    AVChannelLayout target_layout = ff_channel_layout(target.channel_layout(), target.channels());
    SwrContext* raw = nullptr;
    const int allocated = swr_alloc_set_opts2(
        &raw, &target_layout, static_cast<AVSampleFormat>(target.sample_format()),
        target.sample_rate(), &source_layout, static_cast<AVSampleFormat>(source.sample_format()),
        source.sample_rate(), 0, nullptr);
    av_channel_layout_uninit(&source_layout);
    av_channel_layout_uninit(&target_layout);
    SwrContextPtr context(raw, details::SwrContextFree_());
    if (allocated == AVERROR(ENOMEM) || (allocated >= 0 && !raw))
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("swr_alloc_set_opts2"));
    if (allocated < 0)
        KESTREL_THROW(ff_swresample::error() << errinfo_api_function("swr_alloc_set_opts2")
                                             << errinfo_errno(-allocated));
    const int initialised = swr_init(context.get());
    if (initialised < 0)
        KESTREL_THROW(ff_swresample::error() << errinfo_api_function("swr_init")
                                             << errinfo_errno(-initialised));
    return context;
}

ff_swresample::ff_swresample(const audio_format* source, const audio_format* target)
    : audio_convert(new ff_swresample_impl(source, target)) {}

ff_swresample_impl::ff_swresample_impl(const audio_format* source, const audio_format* target)
    : context_(swr_alloc_set_opts_(checked(source), checked(target))),
      output_(audio_buffer::create(0, target)), source_(audio_format::copy(*source)),
      target_(audio_format::copy(*target)),
      ratio_(static_cast<double>(target->sample_rate()) / source->sample_rate() *
             target->bits_per_sample() / source->bits_per_sample() * target->channels() /
             source->channels()) {}

unsigned int ff_swresample_impl::output_capacity(const audio_data* block) {
    const double expected = block ? block->size() * ratio_ + work_buffer_slack : work_buffer_slack;
    const unsigned int estimate = static_cast<unsigned int>(
        static_cast<double>(static_cast<std::size_t>(expected)) / target_->channels() /
        (target_->bits_per_sample() / 8));
    // The resampler may also hand out what it held back from earlier pushes.
    const int bound = swr_get_out_samples(context_.get(), block ? block->samples() : 0);
    return std::max(estimate, bound > 0 ? static_cast<unsigned int>(bound) : 0u);
}

void ff_swresample_impl::push_back(const audio_data* block) {
    if (block && (block->channels() != source_->channels() ||
                  block->sample_format() != source_->sample_format()))
        KESTREL_THROW(audio_buffer::invalid_format());

    const unsigned int capacity = output_capacity(block);
    uint8_t* work = work_.get_buffer(static_cast<std::size_t>(capacity) * target_->bytes_per_frame());
    // Planar output planes are sized by the capacity, not by the input, so
    // that a rate change cannot run one channel into the next.
    std::vector<uint8_t*> output = plane_pointers(*target_, work, capacity);
    const unsigned int input_frames = block ? block->samples() : 0;
    std::vector<uint8_t*> input =
        plane_pointers(*source_, block ? block->data() : nullptr, input_frames);

    // No input array at all is what tells the resampler to drain.
    const uint8_t** input_planes = block ? const_cast<const uint8_t**>(input.data()) : nullptr;
    const int converted = swr_convert(context_.get(), output.data(), static_cast<int>(capacity),
                                      input_planes, static_cast<int>(input_frames));
    if (converted < 0)
        KESTREL_THROW(ff_swresample::error() << errinfo_api_function("swr_convert")
                                             << errinfo_errno(-converted));

    const unsigned int frames = static_cast<unsigned int>(converted);
    if (target_->is_planar() && frames < capacity) {
        // A block's planes lie back to back: close the gaps.
        const std::size_t plane = static_cast<std::size_t>(frames) *
                                  (target_->bytes_per_frame() / target_->channels());
        for (std::size_t channel = 1; channel < output.size(); ++channel)
            std::memmove(work + channel * plane, output[channel], plane);
    }
    const audio_data_common result(*target_, work, frames * target_->bytes_per_frame(),
                                   dt_buffer_borrow);
    output_->push_back(&result);
}

} // namespace kestrel
