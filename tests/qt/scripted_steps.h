// Drives a modal run from outside: each step waits until its condition holds, then acts. The
// actions run from the event loop, so one may open a dialog whose own run the next steps drive.
#pragma once

#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace qttest {

class ScriptedSteps {
  public:
    using Condition = std::function<bool()>;
    using Action = std::function<void()>;

    ScriptedSteps();
    ~ScriptedSteps();

    // Adds a step: once `ready` holds, `act` runs. `what` names the wait in a failure.
    ScriptedSteps& When(std::string what, Condition ready, Action act);

    // Starts watching; the steps then run from whatever event loop is running.
    void Start();
    bool Finished() const { return m_next == m_steps.size(); }

  private:
    struct Step {
        std::string what;
        Condition ready;
        Action act;
    };
    void Poll();
    // Ends whatever is still open, so that a stuck run reports instead of hanging.
    static void CloseEverything();

    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QTimer m_poll;
    int m_polls = 0;
    bool m_gaveUp = false;
    bool m_acting = false;
};

}  // namespace qttest
