#pragma once

class DbConnection;
class QString;
class QWidget;

// What the ORV export and import alike need of the program: the owner of their windows, the ORX database
// and the progress window.
class OrvHost
{
public:
    virtual ~OrvHost() = default;

    // The parent of the messages and the progress window.
    virtual QWidget *Owner() = 0;
    // The ORX connection, opened with the ORX parameters in force; the open is false once the reason is
    // shown.
    virtual DbConnection &OrxConnection() = 0;
    virtual bool OpenOrx() = 0;
    virtual void CloseOrx() = 0;
    // The progress window: shown, given its maximum, moved with a caption telling how far the run is
    // (letting the window paint), hidden; hiding it twice does no harm.
    virtual void ShowProgress() = 0;
    virtual void SetProgressMaximum(int Maximum) = 0;
    virtual void SetProgress(int Position, const QString &Caption) = 0;
    virtual void HideProgress() = 0;
};
