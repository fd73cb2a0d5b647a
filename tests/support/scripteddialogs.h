#pragma once

#include <QList>
#include <QString>
#include <QtTest/QTest>

#include <deque>
#include <functional>
#include <utility>

#include "core/dialogs.h"

// Answers message and input boxes from a script and records what was asked.
// A box the script did not foresee fails the test and answers Cancel/No.
class ScriptedDialogs final : public Dialogs {
  public:
    struct Shown {
        QString text;
        MsgButtons buttons;
        MsgIcon icon;
        std::optional<QString> title;
        bool isInput = false;
        QString defaultText;
    };

    void answer(MsgAnswer a) { answers_.push_back(a); }
    void type(const QString& text) { inputs_.push_back(text); }
    bool scriptUsedUp() const { return answers_.empty() && inputs_.empty(); }

    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon icon,
                      const std::optional<QString>& title) override {
        shown.push_back({text, buttons, icon, title, false, {}});
        // What happens while the box waits for the user: timers, requests.
        if (whileNextBoxWaits) std::exchange(whileNextBoxWaits, {})();
        if (answers_.empty()) {
            // Notices with a single OK button need no script.
            if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
            QTest::qFail(qPrintable("unexpected question: " + text), __FILE__, __LINE__);
            return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
        }
        MsgAnswer a = answers_.front();
        answers_.pop_front();
        return a;
    }

    QString input(const QString& prompt, const std::optional<QString>& title,
                  const QString& defaultText) override {
        shown.push_back({prompt, MsgButtons::OkCancel, MsgIcon::None, title, true, defaultText});
        if (inputs_.empty()) {
            QTest::qFail(qPrintable("unexpected input box: " + prompt), __FILE__, __LINE__);
            return {};
        }
        QString t = inputs_.front();
        inputs_.pop_front();
        return t;
    }

    // Texts of the boxes shown so far.
    QStringList texts() const {
        QStringList out;
        for (const auto& s : shown) out << s.text;
        return out;
    }

    QList<Shown> shown;
    std::function<void()> whileNextBoxWaits;

  private:
    std::deque<MsgAnswer> answers_;
    std::deque<QString> inputs_;
};
