// One video sample of the layered path drawn into the frame bitmap.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "playback/UFramePixels.h"
#include "playback/USimpleDIB.h"

// Reads the pixel format of a video media type (FORMAT_VideoInfo, or
// FORMAT_VideoInfo2) into format. False when the type carries no such
// format block or the block is too short.
bool ReadVideoFormat(const AM_MEDIA_TYPE& mediaType, TSampleFormat& format);

// Stretches sample onto dest (frame bitmap coordinates: the video rectangle
// moved by the border offset) of frame, under the frame's own lock. The
// sample's media type, or when it has none (the usual case: a sample names
// its type only when it changes) connectionType, describes the pixels: only
// uncompressed RGB24 and RGB32 are drawn. Returns false when nothing could be
// drawn (no pixels, another format, a sample shorter than its format says);
// the bitmap is then left as it was. Raises nothing: it runs on the
// streaming thread.
bool DrawSampleToBitmap(IMediaSample* sample, const AM_MEDIA_TYPE* connectionType, TSimpleDIB& frame,
                        const TFrameRect& dest) noexcept;
