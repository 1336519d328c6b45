#pragma once
// The platform's message box and input box. Without a display to ask, the
// message box writes its title and text to standard error and answers OK, and
// the input box answers Cancel, unless a test has queued an answer. Every box
// shown is recorded.
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class Program;

class Dialogs {
public:
    explicit Dialogs(Program& p) : program_(p) {}

    // Shows the message; returns when it is closed.
    void message(const std::string& text, const std::string& title = "Velmora");
    // Returns the text typed, or nullopt for Cancel. Position in twips (-1: centred).
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultText, int leftTwips = -1, int topTwips = -1);

    // Answers queued by a test, used in order by the next boxes.
    void queueInput(std::optional<std::string> answer) { inputs_.push_back(std::move(answer)); }
    void queueMessageOk() { ++messageOks_; }

    struct Shown {
        std::string title, text;
    };
    const std::vector<Shown>& messages() const { return messages_; }
    const std::vector<Shown>& inputs() const { return inputPrompts_; }

private:
    Program& program_;
    std::deque<std::optional<std::string>> inputs_;
    int messageOks_ = 0;
    std::vector<Shown> messages_;
    std::vector<Shown> inputPrompts_;
};

}  // namespace ui
