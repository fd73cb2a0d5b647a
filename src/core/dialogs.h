#pragma once

#include <QString>

#include <optional>

// Message and input boxes. Every question and notice of the program goes
// through this seam, so tests answer with scripts and never see a real box.

enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { Ok, Cancel, Yes, No };

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A message box. A title of std::nullopt shows the program's own title;
    // an empty text shows an empty title.
    virtual MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon icon,
                              const std::optional<QString>& title) = 0;

    // A text-input box. Returns the typed text, or an empty text on cancel.
    virtual QString input(const QString& prompt, const std::optional<QString>& title,
                          const QString& defaultText) = 0;

    // A box that asks for a password, typed unseen. Nothing on cancel. The
    // default has no box to show and answers nothing.
    virtual std::optional<QString> password(const QString& prompt,
                                            const std::optional<QString>& title) {
        (void)prompt;
        (void)title;
        return std::nullopt;
    }

    // Convenience for a notice with one OK button.
    void notice(const QString& text, MsgIcon icon, const std::optional<QString>& title) {
        message(text, MsgButtons::Ok, icon, title);
    }
};
