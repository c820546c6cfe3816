#include "linesplit.h"

#include <array>

namespace {

ReceiveOp Change(ReceiveOp::Kind kind, Rgb color = {}, int32_t value = 0)
{
    ReceiveOp op;
    op.kind = kind;
    op.color = color;
    op.value = value;
    return op;
}

} // namespace

void StartLineAfterOtherDirection(std::vector<ReceiveOp> &ops, bool &pending)
{
    if (!pending) {
        return;
    }
    for (auto it = ops.begin(); it != ops.end(); ++it) {
        switch (it->kind) {
        case ReceiveOp::Kind::Item: {
            using Kind = ReceiveOp::Kind;
            const std::array header { Change(Kind::MoveCaretToEnd),
                Change(Kind::SetColor, Colors::Green), Change(Kind::Header, {}, it->value),
                Change(Kind::SetColor, Colors::Black) };
            ops.insert(it, header.begin(), header.end());
            pending = false;
            return;
        }
        case ReceiveOp::Kind::Header:
        case ReceiveOp::Kind::ParagraphEnd:
        case ReceiveOp::Kind::ErrorLine:
            pending = false;
            return;
        case ReceiveOp::Kind::MoveCaretToEnd:
        case ReceiveOp::Kind::SetColor:
        case ReceiveOp::Kind::ClearIfLineCount:
        case ReceiveOp::Kind::Count:
            break;
        }
    }
}
