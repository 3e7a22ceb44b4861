// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppIcon.h"

#include "TunewrightIcons.h"

namespace tunewright
{
juce::Image appIcon (int size)
{
    if (size <= 16)
        return juce::ImageCache::getFromMemory (TunewrightIcons::icon16_png, TunewrightIcons::icon16_pngSize);
    if (size <= 32)
        return juce::ImageCache::getFromMemory (TunewrightIcons::icon32_png, TunewrightIcons::icon32_pngSize);
    if (size <= 48)
        return juce::ImageCache::getFromMemory (TunewrightIcons::icon48_png, TunewrightIcons::icon48_pngSize);
    return juce::ImageCache::getFromMemory (TunewrightIcons::icon128_png, TunewrightIcons::icon128_pngSize);
}
}
