// The class library's in-process drag and drop, driven by its mouse handling:
// a press on a control in automatic drag mode arms a drag, moving past the
// threshold starts it, every move asks the control under the pointer whether
// it accepts (enter / move / leave), and the release ends it, leaving the
// target first and dropping on it only when it accepted.
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>

#include "classlib_p.h"

namespace classlib {
namespace {

struct TDrag {
  TDragStatus Status;
  QPointer<QWidget> Pressed;  // widget that took the press
  TControl* Armed = nullptr;  // control pressed in automatic mode, not yet dragging
  QPoint PressGlobal;
  QPoint PressLocal;  // in the source control's coordinates
  QLabel* Image = nullptr;
};

TDrag& State() {
  static TDrag drag;
  return drag;
}

// The picture of the dragged row sits just below and right of the pointer,
// so that it never hides the control the pointer is over.
const QPoint ImageGap(12, 12);

void SetCursor(TCursor cursor) {
  TDrag& d = State();
  if (d.Status.Cursor == cursor) return;
  const Qt::CursorShape shape = cursor == TCursor::crNoDrop ? Qt::ForbiddenCursor : Qt::DragMoveCursor;
  if (d.Status.Cursor == TCursor::crDefault)
    QGuiApplication::setOverrideCursor(QCursor(shape));
  else if (cursor == TCursor::crDefault)
    QGuiApplication::restoreOverrideCursor();
  else
    QGuiApplication::changeOverrideCursor(QCursor(shape));
  d.Status.Cursor = cursor;
}

TControl* TargetAt(const QPoint& global) {
  QWidget* widget = QApplication::widgetAt(global);
  if (!widget || widget == State().Image) return nullptr;
  return ControlOf(widget);
}

QPoint Local(TControl* control, const QPoint& global) { return control->Widget()->mapFromGlobal(global); }

void Leave(const QPoint& global) {
  TDrag& d = State();
  if (!d.Status.Target) return;
  TControl* target = d.Status.Target;
  d.Status.Target = nullptr;
  d.Status.Accepted = false;
  bool ignored = false;
  const QPoint p = Local(target, global);
  target->DragOver(d.Status.Source, p.x(), p.y(), TDragState::dsDragLeave, ignored);
}

void MoveTo(const QPoint& global) {
  TDrag& d = State();
  if (d.Image) d.Image->move(global + ImageGap);
  TControl* target = TargetAt(global);
  if (target != d.Status.Target) Leave(global);
  bool accept = false;
  if (target) {
    const TDragState state = target == d.Status.Target ? TDragState::dsDragMove : TDragState::dsDragEnter;
    d.Status.Target = target;
    const QPoint p = Local(target, global);
    target->DragOver(d.Status.Source, p.x(), p.y(), state, accept);
  }
  d.Status.Accepted = accept;
  SetCursor(accept ? TCursor::crDrag : TCursor::crNoDrop);
}

void Begin(TControl* source) {
  TDrag& d = State();
  d.Armed = nullptr;
  d.Status = TDragStatus{};
  d.Status.Active = true;
  d.Status.Source = source;
  TDragImage image;
  if (source->DragImage(d.PressLocal.x(), d.PressLocal.y(), image)) {
    d.Image = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                                      Qt::WindowDoesNotAcceptFocus);
    d.Image->setAttribute(Qt::WA_TransparentForMouseEvents);
    d.Image->setAttribute(Qt::WA_ShowWithoutActivating);
    d.Image->setPixmap(image.Pixmap);
    d.Image->resize(image.Pixmap.size() / image.Pixmap.devicePixelRatio());
    d.Image->setWindowOpacity(0.7);
    d.Image->move(d.PressGlobal + ImageGap);
    d.Image->show();
    d.Status.ImageWindow = d.Image;
  }
}

void Finish() {
  TDrag& d = State();
  SetCursor(TCursor::crDefault);
  delete d.Image;
  d.Image = nullptr;
  d.Status = TDragStatus{};
  d.Armed = nullptr;
}

void End(const QPoint& global, bool drop) {
  TDrag& d = State();
  TControl* target = d.Status.Target;
  const bool accepted = d.Status.Accepted;
  TControl* source = d.Status.Source;
  // Ending counts as leaving: the target drops its marks before any drop.
  Leave(global);
  Finish();
  if (drop && accepted && target) {
    const QPoint p = Local(target, global);
    target->DragDrop(source, p.x(), p.y());
  }
}

}  // namespace

const TDragStatus& DragStatus() { return State().Status; }

void CancelDrag() {
  if (State().Status.Active) End(QCursor::pos(), false);
  State().Armed = nullptr;
}

bool DragMouseEvent(TControl* control, QWidget* widget, QEvent* event) {
  TDrag& d = State();
  if (event->type() == QEvent::KeyPress) {
    if (d.Status.Active && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      End(QCursor::pos(), false);
      return true;
    }
    return false;
  }
  auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint global = mouse->globalPosition().toPoint();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (mouse->button() == Qt::LeftButton && !d.Status.Active &&
          control->DragMode() == TDragMode::dmAutomatic) {
        d.Armed = control;
        d.Pressed = widget;
        d.PressGlobal = global;
        d.PressLocal = Local(control, global);
      }
      return false;
    case QEvent::MouseMove:
      if (d.Status.Active) {
        if (widget != d.Pressed) return false;  // the same move reaches the filter again for parents
        MoveTo(global);
        return true;
      }
      if (d.Armed && widget == d.Pressed && (mouse->buttons() & Qt::LeftButton) &&
          (global - d.PressGlobal).manhattanLength() >= QApplication::startDragDistance()) {
        Begin(d.Armed);
        MoveTo(global);
        return true;
      }
      return false;
    case QEvent::MouseButtonRelease:
      if (mouse->button() != Qt::LeftButton) return d.Status.Active;
      if (d.Status.Active && widget == d.Pressed) {
        End(global, true);
        return true;
      }
      d.Armed = nullptr;
      return false;
    default:
      return false;
  }
}

}  // namespace classlib
