// A small writer of animated GIF files (Qt reads GIF but cannot write it).
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <vector>

// Frames are drawn in 256 colours of `palette`; each pixel takes the palette
// entry nearest to it. Returns false when the file cannot be written.
bool WriteAnimatedGif(const QString& path, const std::vector<QImage>& frames, const std::vector<QColor>& palette,
                      int delayCentiseconds);
