#pragma once

#include <QStandardItemModel>
#include <QStringList>

// The item model of one grid of the details pane. The pane rebuilds a grid
// as a whole; appending row by row would make the attached view react once
// per row (thousands of times for the mappings list), so a rebuild fills the
// rows quietly and announces them as one reset.
class DetailsGridModel : public QStandardItemModel
{
    Q_OBJECT
public:
    explicit DetailsGridModel(QObject* parent = nullptr);

    // Drops every row and sets the header labels, whose number becomes the
    // column count. Until endRebuild the model sends no signal.
    void beginRebuild(const QStringList& headers);
    void endRebuild();

    // beginRebuild now, endRebuild when it goes out of scope.
    class Rebuild
    {
    public:
        Rebuild(DetailsGridModel* model, const QStringList& headers);
        ~Rebuild();
        Rebuild(const Rebuild&) = delete;
        Rebuild& operator=(const Rebuild&) = delete;

    private:
        DetailsGridModel* model;
    };

private:
    bool rebuilding = false;
    bool signalsWereBlocked = false;
};
