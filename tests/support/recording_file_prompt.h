#pragma once
// A file prompt for tests: answers from queues (a cancel where a queue is empty) and records
// what each question offered.
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

#include "gui/widgets/file_prompt.h"

namespace kijunchi::testing {

class RecordingFilePrompt final : public FilePrompt {
public:
    std::deque<QString> fileNames;           // for openFileName and saveFileName
    std::deque<std::optional<int>> choices;  // for chooseItem and chooseColumns' value column
    std::deque<int> groupChoices;            // chooseColumns' group column; none when empty
    std::deque<bool> headingChoices;         // chooseColumns' tick; left as offered when empty
    std::optional<bool> headingsOffered;     // the tick as the last column question showed it
    std::deque<std::optional<QSize>> sizes;  // for pictureSize
    std::deque<std::optional<int>> numbers;  // for askNumber

    QStringList folders;  // the folder or suggested name each file question started in
    QStringList filters;  // the filters of the last save question
    QStringList items;    // the items of the last choice
    QList<bool> enabled;
    int current = -1;
    QStringList groups;  // the group columns of the last column question
    QSize suggestedSize;
    int numberMaximum = 0;  // the largest number the last number question allowed

    QString openFileName(QWidget*, const QString& folder) override {
        folders << folder;
        return next(fileNames, QString());
    }
    QString openStudyName(QWidget* parent, const QString& folder) override {
        return openFileName(parent, folder);
    }
    QString saveFileName(QWidget*, const QString&, const QString& suggested,
                         const QStringList& offered) override {
        folders << suggested;
        filters = offered;
        return next(fileNames, QString());
    }
    std::optional<int> chooseItem(QWidget*, const QString&, const QString&,
                                  const QStringList& offered, const QList<bool>& usable,
                                  int first) override {
        items = offered;
        enabled = usable;
        current = first;
        return next(choices, std::optional<int>());
    }
    std::optional<ColumnChoice> chooseColumns(QWidget* parent, const QString& title,
                                              const QString& label, const QStringList& offered,
                                              const QList<bool>& usable, int first,
                                              const QStringList& groupColumns,
                                              bool headings) override {
        groups = groupColumns;
        headingsOffered = headings;
        const std::optional<int> values = chooseItem(parent, title, label, offered, usable, first);
        if (!values) return std::nullopt;
        ColumnChoice choice;
        choice.values = *values;
        choice.headings = headings;
        if (!headingChoices.empty()) {
            choice.headings = headingChoices.front();
            headingChoices.pop_front();
        }
        if (!groupChoices.empty()) {
            choice.groups = groupChoices.front();
            groupChoices.pop_front();
        }
        return choice;
    }
    std::optional<QSize> pictureSize(QWidget*, const QSize& suggested) override {
        suggestedSize = suggested;
        return next(sizes, std::optional<QSize>());
    }

    std::optional<int> askNumber(QWidget*, const QString&, const QString&, int, int maximum,
                                 int) override {
        numberMaximum = maximum;
        return next(numbers, std::optional<int>());
    }

private:
    template <typename T>
    static T next(std::deque<T>& queue, T none) {
        if (queue.empty()) return none;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

}  // namespace kijunchi::testing
