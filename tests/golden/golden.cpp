#include "tests/golden/golden.h"
#include "capture/capture.h"
#include "core/offline.h"

#include <cstdio>
#include <png.h>

bool RenderGoldenFrames(void (*take)(const GoldenFrame &, const Picture &, void *), void *context) {
    if (!CaptureStart(DEFAULT_SEED, 1))
        return false;
    for (const GoldenSync &sync : GOLDEN_SYNCS)
        OfflineInjectSync(sync.frame, sync.user);
    Picture picture{CaptureWidth, CaptureHeight,
                    std::vector<uint8_t>(size_t(CaptureWidth) * size_t(CaptureHeight) * 3)};
    size_t next = 0, count = sizeof GOLDEN_FRAMES / sizeof *GOLDEN_FRAMES;
    bool ended = false;
    for (uint32_t frame = 1; next < count && !ended; frame++) {
        bool key = GOLDEN_FRAMES[next].frame == frame;
        ended = CaptureFrame(key ? picture.rgb.data() : nullptr, nullptr) != 0;
        if (key)
            take(GOLDEN_FRAMES[next++], picture, context);
    }
    CaptureEnd();
    return next == count;
}

std::string GoldenFileName(const GoldenFrame &frame) {
    char name[128];
    snprintf(name, sizeof name, "%05u-%s.png", frame.frame, frame.name);
    return name;
}

bool ReadPng(const std::string &path, Picture *picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    picture->width = int32_t(image.width);
    picture->height = int32_t(image.height);
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr) != 0;
}
