#pragma once
// What every run of the desktop program sets up before its first window: the Japanese
// translation of Qt's own texts (はい/いいえ) and a font with Japanese glyphs.
class QApplication;

namespace kijunchi {

// Returns false when Qt's Japanese translation could not be found.
bool setUpApplication(QApplication& app);

}  // namespace kijunchi
