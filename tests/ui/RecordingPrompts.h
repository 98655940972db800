// Prompts for tests: records every box and picker shown, and answers from
// queues the test fills beforehand (Yes, a cancelled picker, when empty).
#ifndef QUILLOMAT_TESTS_UI_RECORDINGPROMPTS_H
#define QUILLOMAT_TESTS_UI_RECORDINGPROMPTS_H

#include "Prompts.h"

#include <deque>
#include <utility>
#include <optional>
#include <vector>

class RecordingPrompts : public Prompts {
public:
    struct Shown {
        enum class Kind { Message, Question, Folder, Colour, File };
        Kind kind = Kind::Message;
        Icon icon = Icon::Information;
        QString caption;  // the box's caption, or the picker's title
        QString text;     // the box's text, or the picker's starting folder/file
    };

    void message(QWidget *, Icon icon, const QString &caption, const QString &text) override
    {
        shown.push_back({Shown::Kind::Message, icon, caption, text});
    }
    bool askYesNo(QWidget *, const QString &caption, const QString &text) override
    {
        shown.push_back({Shown::Kind::Question, Icon::Question, caption, text});
        return take(yesNoAnswers, true);
    }
    std::optional<QString> chooseFolder(QWidget *, const QString &title, const QString &start) override
    {
        shown.push_back({Shown::Kind::Folder, Icon::Information, title, start});
        return take(folderAnswers, std::optional<QString>());
    }
    std::optional<QColor> chooseColour(QWidget *, const QColor &initial) override
    {
        shown.push_back({Shown::Kind::Colour, Icon::Information, QString(), initial.name()});
        return take(colourAnswers, std::optional<QColor>());
    }
    std::optional<QString> chooseFile(QWidget *, const QString &title, const QString &start,
                                      const QString &) override
    {
        shown.push_back({Shown::Kind::File, Icon::Information, title, start});
        return take(fileAnswers, std::optional<QString>());
    }

    // The texts of the message boxes shown, in order.
    std::vector<QString> messageTexts() const
    {
        std::vector<QString> texts;
        for (const Shown &s : shown)
            if (s.kind == Shown::Kind::Message)
                texts.push_back(s.text);
        return texts;
    }

    std::vector<Shown> shown;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<QColor>> colourAnswers;
    std::deque<std::optional<QString>> fileAnswers;

private:
    template <typename T>
    static T take(std::deque<T> &answers, T fallback)
    {
        if (!answers.empty()) {
            fallback = std::move(answers.front());
            answers.pop_front();
        }
        return fallback;
    }
};

#endif
