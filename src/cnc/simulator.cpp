#include "cnc/simulator.h"

#include "cnc/simulated_control.h"
#include "platform/error.h"

#include <array>
#include <fstream>
#include <type_traits>

namespace quorlan::cnc {

namespace {

using platform::StationError;

// The list's columns in the order of a list line; the items the station fills carry a name.
constexpr std::array<ListColumn, 18> kColumns = {{{"#161", "Program"},
                                                  {"#162", "Comment"},
                                                  {"#164", "Repetitions"},
                                                  {"#165", ""},
                                                  {"#281", ""},
                                                  {"#171", "Field"},
                                                  {"#284", "Even field"},
                                                  {"#285", ""},
                                                  {"#280", ""},
                                                  {"#168", "X"},
                                                  {"#169", "Y"},
                                                  {"#170", "Z"},
                                                  {"#282", ""},
                                                  {"#283", ""},
                                                  {"#223", ""},
                                                  {"#277", ""},
                                                  {"#278", ""},
                                                  {"#279", ""}}};

std::string boolText(bool value) {
    return value ? "True" : "False";
}

// A list handle from before a restart of the control fails like every call to a vanished server.
template <typename Effect>
auto callList(SimulatedControl& control, std::uint64_t generation, Operation operation, const std::string& arguments,
              Effect&& effect) {
    return control.perform(operation, arguments, [&control, generation, &effect] {
        control.requireLive(generation);
        return effect();
    });
}

class SimulatedList final : public ExeList {
public:
    explicit SimulatedList(std::shared_ptr<SimulatedControl> control)
        : m_control(std::move(control)), m_generation(m_control->newListGeneration()) {}

    bool ListInRun() override {
        return call(Operation::ListInRun, {}, [this] { return m_control->inRun(); });
    }
    bool Visible() override {
        return call(Operation::ListVisible, {}, [this] { return m_control->listVisible(); });
    }
    void SetVisible(bool visible) override {
        call(Operation::ListSetVisible, boolText(visible), [this, visible] { m_control->setListVisible(visible); });
    }
    std::int16_t Columns() override {
        return call(Operation::Columns, {}, [] { return static_cast<std::int16_t>(kColumns.size()); });
    }
    std::int32_t Rows() override {
        return call(Operation::Rows, {}, [this] { return static_cast<std::int32_t>(m_control->rows().size()); });
    }
    std::int32_t RepetitionCount() override {
        return call(Operation::RepetitionCount, {}, [] { return std::int32_t{1}; });
    }
    std::int32_t ExeRow() override {
        return call(Operation::ExeRow, {}, [this] { return m_control->exeRow(); });
    }
    std::vector<std::string> ColumnInfo() override {
        return call(Operation::ColumnInfo, {}, [] {
            std::vector<std::string> items;
            for (const ListColumn& column : kColumns) {
                items.emplace_back(column.item);
            }
            return items;
        });
    }
    std::int32_t AddLine(const std::string& line) override {
        return call(Operation::AddLine, line, [this, &line] { return m_control->addLine(line); });
    }
    std::int32_t DelLine(std::int32_t row) override {
        return call(Operation::DelLine, std::to_string(row), [this, row] { return m_control->delLine(row); });
    }
    std::string GetLine(std::int32_t row) override {
        return call(Operation::GetLine, std::to_string(row), [this, row] { return m_control->getLine(row); });
    }
    void SetLine(std::int32_t row, const std::string& line) override {
        call(Operation::SetLine, std::to_string(row) + ' ' + line,
             [this, row, &line] { m_control->setLine(row, line); });
    }
    std::int32_t AppendList(const std::string& path) override {
        return call(Operation::AppendList, path, [this, &path] { return m_control->appendList(path); });
    }
    void Clear() override {
        call(Operation::Clear, {}, [this] { m_control->clear(); });
    }
    void ViewWorks() override {
        call(Operation::ViewWorks, {}, [] {});
    }
    void ViewWorksThrought() override {
        call(Operation::ViewWorksThrought, {}, [] {});
    }
    void CloseList(bool save) override {
        call(Operation::CloseList, boolText(save), [this] { m_control->closeList(); });
    }

private:
    template <typename Effect>
    std::invoke_result_t<Effect&> call(Operation operation, const std::string& arguments, Effect&& effect) {
        return callList(*m_control, m_generation, operation, arguments, std::forward<Effect>(effect));
    }

    std::shared_ptr<SimulatedControl> m_control;
    std::uint64_t m_generation;
};

class SimulatedApplication final : public Application {
public:
    explicit SimulatedApplication(std::shared_ptr<SimulatedControl> control) : m_control(std::move(control)) {}

    bool Visible() override {
        return m_control->perform(Operation::ApplicationVisible, {},
                                  [this] { return m_control->applicationVisible(); });
    }
    void SetVisible(bool visible) override {
        m_control->perform(Operation::ApplicationSetVisible, boolText(visible),
                           [this, visible] { m_control->setApplicationVisible(visible); });
    }
    bool Connected() override {
        return m_control->perform(Operation::Connected, {}, [] { return true; });
    }
    std::int16_t AccessLevel() override {
        return m_control->perform(Operation::AccessLevel, {}, [] { return std::int16_t{1}; });
    }
    void SetWindowState(std::int32_t state) override {
        m_control->perform(Operation::SetWindowState, std::to_string(state), [state] {
            if (state < 0 || state > 2) {
                throw StationError(platform::errc::kInvalidPropertyValue);
            }
        });
    }
    std::int16_t ListOpened() override {
        return m_control->perform(Operation::ListOpened, {},
                                  [this] { return static_cast<std::int16_t>(m_control->listOpened() ? -1 : 0); });
    }
    void Quit(bool save) override {
        m_control->perform(Operation::Quit, boolText(save), [this] {
            m_control->endList();
            m_control->setListVisible(false);
        });
    }
    std::shared_ptr<ExeList> OpenList(const std::string& path) override {
        return m_control->perform(Operation::OpenList, path, [this, &path] {
            m_control->loadList(path);
            return newHandle();
        });
    }
    std::shared_ptr<ExeList> NewList() override {
        return m_control->perform(Operation::NewList, {}, [this] {
            return m_control->takeNullNewList() ? std::shared_ptr<ExeList>() : newHandle();
        });
    }
    void StartList() override {
        m_control->perform(Operation::StartList, {}, [this] { m_control->startList(); });
    }
    void HoldList() override {
        m_control->perform(Operation::HoldList, {}, [this] { m_control->holdList(); });
    }
    void EndList() override {
        m_control->perform(Operation::EndList, {}, [this] { m_control->endList(); });
    }
    void Setpoint() override {
        m_control->perform(Operation::Setpoint, {}, [] {});
    }
    void EnableOpenList(bool enable) override {
        m_control->perform(Operation::EnableOpenList, boolText(enable), [] {});
    }
    void EnableSaveList(bool enable) override {
        m_control->perform(Operation::EnableSaveList, boolText(enable), [] {});
    }
    void EnableNewList(bool enable) override {
        m_control->perform(Operation::EnableNewList, boolText(enable), [] {});
    }
    void ShowOnTop(bool onTop) override {
        m_control->perform(Operation::ShowOnTop, boolText(onTop), [] {});
    }

private:
    std::shared_ptr<ExeList> newHandle() { return std::make_shared<SimulatedList>(m_control); }

    std::shared_ptr<SimulatedControl> m_control;
};

} // namespace

JournalSink makeFileJournal(const std::string& localPath) {
    auto file = std::make_shared<std::ofstream>(localPath, std::ios::binary | std::ios::app);
    if (!*file) {
        throw StationError(platform::errc::kPathFileAccess,
                           "Path/File access error: the journal " + localPath + " cannot be opened for appending");
    }
    return [file](const std::string& line) {
        *file << line << '\n';
        file->flush();
    };
}

Simulator::Simulator(platform::PathMapper paths) : m_control(std::make_shared<SimulatedControl>(std::move(paths))) {}

std::shared_ptr<Application> Simulator::createApplication() {
    return m_control->perform(Operation::CreateApplication, {},
                              [this] { return std::make_shared<SimulatedApplication>(m_control); });
}

std::shared_ptr<ExeList> Simulator::createObject(const std::string& progId) {
    return m_control->perform(Operation::CreateObject, progId, [this, &progId] {
        if (progId != kExeListProgId) {
            throw StationError(platform::errc::kCannotCreateObject);
        }
        return std::make_shared<SimulatedList>(m_control);
    });
}

void Simulator::setJournal(JournalSink sink) {
    m_control->setJournal(std::move(sink));
}

void Simulator::setVisibilityObserver(std::function<void(bool visible)> observer) {
    m_control->setVisibilityObserver(std::move(observer));
}

void Simulator::setChangeObserver(std::function<void(const ListChange&)> observer) {
    m_control->setChangeObserver(std::move(observer));
}

const std::vector<std::string>& Simulator::rows() const {
    return m_control->rows();
}

std::span<const ListColumn> listColumns() {
    return kColumns;
}

void Simulator::showList() {
    m_control->setListVisible(true);
}

bool Simulator::listVisible() const {
    return m_control->listVisible();
}

bool Simulator::inRun() const {
    return m_control->inRun();
}

std::int32_t Simulator::exeRow() const {
    return m_control->exeRow();
}

void Simulator::advance() {
    m_control->advance();
}

void Simulator::failNext(const std::string& operation, int errorNumber) {
    m_control->failNext(operation, errorNumber);
}

void Simulator::disconnectLists() {
    m_control->disconnectLists();
}

void Simulator::setNullNewLists(int count) {
    m_control->setNullNewLists(count);
}

} // namespace quorlan::cnc
