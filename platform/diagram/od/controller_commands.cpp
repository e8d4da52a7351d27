// The controller's command operations: each creates its command for the
// controller's model, configures it, has the model execute and keep it, and
// (except the link operations) runs the post-command step. An operation
// returns its command, or null when the command changed nothing and was not
// kept.
#include "diagram/odcontroller.h"

#include <memory>

namespace {

template <class Cmd>
CODCommand* run(CODController* ctl, std::unique_ptr<Cmd> cmd, bool postStep)
{
    CODModel* model = ctl->GetModel();
    if (!model)
        return nullptr;
    Cmd* raw = cmd.release();
    if (!model->ExecuteCommand(raw))
        return nullptr;
    if (postStep)
        ctl->OnCommandExecuted(raw);
    return raw;
}

} // namespace

CODCommand* CODController::InsertComponents(CODComponentSet* set)
{
    auto cmd = std::make_unique<CODInsertCommand>(GetModel());
    if (set)
        cmd->SetComponents(*set);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::InsertComponent(CODComponent* c)
{
    auto cmd = std::make_unique<CODInsertCommand>(GetModel());
    cmd->SetComponent(c);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::DeleteComponents(CODComponentSet* set)
{
    auto cmd = std::make_unique<CODDeleteCommand>(GetModel());
    if (set)
        cmd->SetComponents(*set);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::CutComponents(CODComponentSet* set)
{
    auto cmd = std::make_unique<CODUnsupportedCommand>(GetModel(), "Cut");
    cmd->SetShared(GetSharedObject());
    if (set)
        cmd->SetComponents(*set);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::GroupComponents(CODComponentSet* set)
{
    auto cmd = std::make_unique<CODUnsupportedCommand>(GetModel(), "Group");
    if (set)
        cmd->SetComponents(*set);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::LinkPorts(CODLinkComponent* link, CODPortComponent* start, CODPortComponent* end)
{
    auto cmd = std::make_unique<CODLinkCommand>(GetModel());
    cmd->SetLink(link);
    cmd->SetStartPort(start);
    cmd->SetEndPort(end);
    return run(this, std::move(cmd), false);
}

CODCommand* CODController::LinkPorts(CODLinkComponent* link, const std::vector<CPoint>& vertices,
                                     CODPortComponent* start, CODPortComponent* end)
{
    auto cmd = std::make_unique<CODLinkCommand>(GetModel());
    cmd->SetLink(link);
    cmd->SetVertices(vertices);
    cmd->SetStartPort(start);
    cmd->SetEndPort(end);
    return run(this, std::move(cmd), false);
}

CODCommand* CODController::LinkVertices(const std::vector<CPoint>& vertices, CODPortComponent* start,
                                        CODPortComponent* end, std::int32_t v1, std::int32_t v2)
{
    auto cmd = std::make_unique<CODLinkCommand>(GetModel());
    cmd->SetVertices(vertices);
    cmd->SetStartPort(start);
    cmd->SetEndPort(end);
    cmd->SetValue1(v1);
    cmd->SetValue2(v2);
    // Without a prepared link the library draws a plain one.
    cmd->SetLink(new CODLinkComponent);
    return run(this, std::move(cmd), false);
}

CODCommand* CODController::AlignComponents(CODComponentSet* set, std::int32_t how)
{
    auto cmd = std::make_unique<CODAlignCommand>(GetModel());
    if (set)
        cmd->SetComponents(*set);
    cmd->SetAlignment(how);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::MoveComponents(CODComponentSet* set, std::int32_t dx, std::int32_t dy)
{
    auto cmd = std::make_unique<CODMoveCommand>(GetModel());
    if (set)
        cmd->SetComponents(*set);
    cmd->SetOffset(dx, dy);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::RotateComponents(CODComponentSet* set, std::int32_t angle)
{
    auto cmd = std::make_unique<CODUnsupportedCommand>(GetModel(), "Rotate");
    if (set)
        cmd->SetComponents(*set);
    cmd->SetValue(angle);
    const CPoint pivot = m_pViewport ? m_pViewport->GetRotationPivot() : CPoint();
    cmd->SetPair(pivot.x, pivot.y);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::ScaleComponents(CODComponentSet* set, std::int32_t cx, std::int32_t cy,
                                           std::int32_t anchor)
{
    auto cmd = std::make_unique<CODScaleCommand>(GetModel());
    if (set)
        cmd->SetComponents(*set);
    cmd->SetScale(cx, cy, anchor);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::MoveVertex(CODComponent* c, std::int32_t index, std::int32_t x, std::int32_t y)
{
    auto cmd = std::make_unique<CODVertexCommand>(GetModel(), CODVertexCommand::moveVertex);
    cmd->SetComponent(c);
    cmd->SetIndex(index);
    cmd->SetPoint(x, y);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::ShowComponent(CODComponent* c, std::int32_t visible)
{
    auto cmd = std::make_unique<CODVisibilityCommand>(GetModel());
    cmd->SetComponent(c);
    cmd->SetValue(visible);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::InsertVertex(CODComponent* c, std::int32_t index, std::int32_t x, std::int32_t y)
{
    auto cmd = std::make_unique<CODVertexCommand>(GetModel(), CODVertexCommand::insertVertex);
    cmd->SetComponent(c);
    cmd->SetIndex(index);
    cmd->SetPoint(x, y);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::MoveHandle(CODComponent* c, std::int32_t x, std::int32_t y, std::int32_t handle)
{
    auto cmd = std::make_unique<CODHandleCommand>(GetModel());
    cmd->SetComponent(c);
    cmd->SetPoint(x, y);
    cmd->SetHandle(handle);
    return run(this, std::move(cmd), true);
}

CODCommand* CODController::SetComponentText(CODComponentSet* set, const std::string& text)
{
    auto cmd = std::make_unique<CODTextCommand>(GetModel());
    if (set)
        cmd->SetComponents(*set);
    cmd->SetText(text);
    std::unique_ptr<wxDC> dc = m_pViewport ? m_pViewport->CreatePreparedDC() : nullptr;
    cmd->SetDC(dc.get());
    CODCommand* done = run(this, std::move(cmd), true);
    if (done)
        static_cast<CODTextCommand*>(done)->SetDC(nullptr);
    return done;
}

CODCommand* CODController::NudgeComponents(CODComponentSet* set, std::int32_t direction)
{
    auto cmd = std::make_unique<CODNudgeCommand>(GetModel());
    if (set)
        cmd->SetComponents(*set);
    cmd->SetDirection(direction);
    return run(this, std::move(cmd), true);
}
