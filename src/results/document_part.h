#pragma once
// What a window gives to the saved report, the picture export and the printed document: a
// title, a text and pictures. The statistics and histogram windows give theirs; any other
// result window joins by implementing this and being registered with the frame.
#include <QSize>
#include <QString>

class QPainter;

namespace kijunchi {

class DocumentPart {
public:
    virtual ~DocumentPart() = default;
    // The window's caption, used as the heading of its part.
    virtual QString partTitle() const = 0;
    // Its text with CR LF line ends and TAB between columns; empty when it has none.
    virtual QString partText() const { return {}; }
    // Its pictures: how many there are now (none before a run), their names, their natural
    // size in pixels, and drawing one into a painter at a given size (vector drawing, so a
    // PDF or SVG stays sharp).
    virtual int pictureCount() const { return 0; }
    virtual QString pictureName(int) const { return partTitle(); }
    virtual QSize pictureSize(int) const { return {}; }
    virtual void paintPicture(int, QPainter&, const QSize&) const {}
};

}  // namespace kijunchi
