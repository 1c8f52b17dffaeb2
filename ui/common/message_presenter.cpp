#include "ui/common/message_presenter.h"

#include <QMessageBox>

namespace ui {

namespace {

    class BoxPresenter : public MessagePresenter
    {
    public:
        void warning(QWidget* parent, const QString& title, const QString& text) override
        {
            warningWithDetail(parent, title, text, QString());
        }

        void warningWithDetail(QWidget* parent, const QString& title, const QString& text,
            const QString& detail) override
        {
            QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
            // Informative text shows at once, unlike the hidden details; smaller, so that the
            // message stays the first thing read.
            if (!detail.isEmpty())
                box.setInformativeText(
                    QStringLiteral("<small>%1</small>").arg(detail.toHtmlEscaped()));
            box.exec();
        }
    };

    MessagePresenter* g_presenter = nullptr;

}  // namespace

MessagePresenter& messagePresenter()
{
    static BoxPresenter box;
    return g_presenter ? *g_presenter : box;
}

void setMessagePresenter(MessagePresenter* presenter)
{
    g_presenter = presenter;
}

QString applicationTitle()
{
    return QStringLiteral("Varnel");
}

}  // namespace ui
