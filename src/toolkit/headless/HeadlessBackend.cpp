#include "HeadlessBackend.h"

#include "Paths.h"

#include <deque>
#include <optional>
#include <utility>

namespace toolkit::headless {

struct Backend::State {
    struct Confirm {
        QString path;
        QString fileType; // empty: the required type
    };
    // No value stands for a cancel.
    std::deque<std::optional<Confirm>> answers;
    std::vector<SavePanelRun> runs;
    int panelsMade = 0;
    int beeps = 0;
};

namespace {

class ScriptedSavePanel final : public toolkit::SavePanel {
public:
    explicit ScriptedSavePanel(std::shared_ptr<Backend::State> state)
        : m_state(std::move(state))
    {
    }

    void setRequiredFileType(const QString &type) override { m_requiredType = type; }

    void setFileTypes(const std::vector<FileType> &types) override
    {
        m_types.clear();
        for (const FileType &type : types)
            m_types << type.extension;
    }

    int runModalForDirectory(const QString &directory, const QString &file) override
    {
        SavePanelRun run;
        run.directory = directory;
        run.proposedFile = file;
        run.requiredFileType = m_requiredType;
        run.otherFileTypes = otherTypes();
        m_filename.clear();
        m_chosenType.clear();

        std::optional<Backend::State::Confirm> answer;
        if (!m_state->answers.empty()) {
            answer = std::move(m_state->answers.front());
            m_state->answers.pop_front();
        }
        if (answer) {
            // Other types are offered only beside a required one.
            const bool offered = !m_requiredType.isEmpty() && otherTypes().contains(answer->fileType);
            m_chosenType = offered ? answer->fileType : m_requiredType;
            m_filename = pathWithFileType(answer->path, m_chosenType);
            run.confirmed = true;
            run.chosenPath = m_filename;
            run.chosenFileType = m_chosenType;
        }
        m_state->runs.push_back(std::move(run));
        return answer ? kOK : 0;
    }

    QString filename() const override { return m_filename; }
    QString chosenFileType() const override { return m_chosenType; }

private:
    // The types listed beside the required one; none without a required type.
    QStringList otherTypes() const
    {
        if (m_requiredType.isEmpty())
            return {};
        QStringList others = m_types;
        others.removeAll(m_requiredType);
        return others;
    }

    std::shared_ptr<Backend::State> m_state;
    QString m_requiredType;
    QStringList m_types;
    QString m_filename;
    QString m_chosenType;
};

} // namespace

Backend::Backend() : m_state(std::make_shared<State>()) {}

Backend::~Backend() = default;

void Backend::confirmNextRunWith(const QString &path) { confirmNextRunWith(path, QString()); }

void Backend::confirmNextRunWith(const QString &path, const QString &fileType)
{
    m_state->answers.emplace_back(State::Confirm{path, fileType});
}

void Backend::cancelNextRun() { m_state->answers.emplace_back(std::nullopt); }

std::size_t Backend::pendingAnswers() const { return m_state->answers.size(); }

const std::vector<SavePanelRun> &Backend::savePanelRuns() const { return m_state->runs; }

int Backend::savePanelsMade() const { return m_state->panelsMade; }

int Backend::beepCount() const { return m_state->beeps; }

std::unique_ptr<toolkit::SavePanel> Backend::makeSavePanel()
{
    ++m_state->panelsMade;
    return std::make_unique<ScriptedSavePanel>(m_state);
}

void Backend::beep() { ++m_state->beeps; }

ScopedBackend::ScopedBackend(toolkit::Backend &backend) : m_previous(toolkit::backend())
{
    toolkit::setBackend(&backend);
}

ScopedBackend::~ScopedBackend() { toolkit::setBackend(m_previous); }

} // namespace toolkit::headless
