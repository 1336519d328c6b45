#pragma once
// The scenario player: plays a script of user actions against the program,
// from inside its event loop, and checks what the program shows and stores.
#include <string>
#include <vector>

namespace ui {
class Program;
}

namespace scenario {

struct Token {
    enum Kind { Word, Text, Key } kind;
    std::string value;
};

struct Step {
    int line = 0;
    std::string source;
    std::vector<Token> tokens;
};

// Splits a script into steps; throws std::runtime_error naming the line on a
// malformed one.
std::vector<Step> parseScript(const std::string& text);

class Player {
public:
    Player(ui::Program& program, std::string scriptName, std::vector<Step> steps);
    // Schedules the first step on the event loop. The player ends the process
    // with 0 when every step ran and every expect held, 1 otherwise.
    void start();

private:
    void schedule(int delayMs);
    void runNext();
    void fail(const Step& s, const std::string& found);
    void succeed();
    // Executes one step. Returns false when the step must be retried later
    // (waiting for the program to end).
    bool execute(const Step& s);

    ui::Program& program_;
    std::string name_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    unsigned token_ = 0;        // only the latest scheduled run goes ahead
    bool afterEnd_ = false;     // an expect ended/exit has held
    long long waitStarted_ = 0;
    int nextDelay_ = 0;
};

}  // namespace scenario
