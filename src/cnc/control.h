// The CNC control's automation objects as the station uses them. Every failing operation throws
// platform::StationError; callers handle it as their rules say.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorlan::cnc {

inline constexpr const char* kExeListProgId = "Koridan.ExeList";

class ExeList {
public:
    virtual ~ExeList() = default;

    virtual bool ListInRun() = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual std::int16_t Columns() = 0;
    virtual std::int32_t Rows() = 0;
    virtual std::int32_t RepetitionCount() = 0;
    virtual std::int32_t ExeRow() = 0;
    virtual std::vector<std::string> ColumnInfo() = 0;
    virtual std::int32_t AddLine(const std::string& line) = 0;
    virtual std::int32_t DelLine(std::int32_t row) = 0;
    virtual std::string GetLine(std::int32_t row) = 0;
    virtual void SetLine(std::int32_t row, const std::string& line) = 0;
    virtual std::int32_t AppendList(const std::string& path) = 0;
    virtual void Clear() = 0;
    virtual void ViewWorks() = 0;
    virtual void ViewWorksThrought() = 0;
    virtual void CloseList(bool save) = 0;
};

class Application {
public:
    virtual ~Application() = default;

    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Connected() = 0;
    virtual std::int16_t AccessLevel() = 0;
    virtual void SetWindowState(std::int32_t state) = 0;
    virtual std::int16_t ListOpened() = 0;
    virtual void Quit(bool save) = 0;
    virtual std::shared_ptr<ExeList> OpenList(const std::string& path) = 0;
    // May return null while the control cannot deliver a list yet.
    virtual std::shared_ptr<ExeList> NewList() = 0;
    virtual void StartList() = 0;
    virtual void HoldList() = 0;
    virtual void EndList() = 0;
    virtual void Setpoint() = 0;
    virtual void EnableOpenList(bool enable) = 0;
    virtual void EnableSaveList(bool enable) = 0;
    virtual void EnableNewList(bool enable) = 0;
    virtual void ShowOnTop(bool onTop) = 0;
};

// Creates the control's objects: the application by its class, a list by its ProgID.
class ControlFactory {
public:
    virtual ~ControlFactory() = default;
    virtual std::shared_ptr<Application> createApplication() = 0;
    virtual std::shared_ptr<ExeList> createObject(const std::string& progId) = 0;
};

} // namespace quorlan::cnc
