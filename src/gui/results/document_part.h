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
    // Where the text holds a table: its lines from firstLine to the end, the first of them the
    // headings. The document gives its columns the width of their contents and cuts a table
    // wider than the page into bands of columns, each band repeating the first keyColumns
    // (the names of the rows). Without a table (firstLine < 0) every line is set with TAB
    // stops every eight digits.
    // A table inside the text ends before lastLine (the lines after it are set as text again);
    // lastLine < 0: the table goes to the end.
    struct TextTable {
        int firstLine = -1;
        int keyColumns = 0;
        int lastLine = -1;
    };
    virtual TextTable partTable() const { return {}; }
    // Its pictures: how many there are now (none before a run), their names, their natural
    // size in pixels, and drawing one into a painter at a given size (vector drawing, so a
    // PDF or SVG stays sharp).
    virtual int pictureCount() const { return 0; }
    virtual QString pictureName(int) const { return partTitle(); }
    virtual QSize pictureSize(int) const { return {}; }
    // The proportions a picture takes on a page: it is drawn at this size and scaled to the
    // page's width (or to less than half its height).
    virtual QSize pagePictureSize(int) const { return {640, 400}; }
    virtual void paintPicture(int, QPainter&, const QSize&) const {}
};

}  // namespace kijunchi
