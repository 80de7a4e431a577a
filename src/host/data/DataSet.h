#pragma once
// The client data set: fields, a current record, states, record events, a
// change log sent to the server as a change packet, and data packets loaded
// whole. Rows are kept in memory; the change log holds what was posted or
// deleted since the last load or merge.
#include "host/core/HostExport.h"
#include "protocol/Packets.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace hostfw {

class TClientDataSet;

enum class TFieldType { ftString, ftDateTime, ftFloat, ftInteger };
enum class TFieldKind { fkData, fkCalculated };
enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

class HOSTFW_EXPORT TField : public QObject {
    Q_OBJECT
public:
    TField(TClientDataSet* dataSet, const QString& fieldName, TFieldType type, int size = 0,
           TFieldKind kind = TFieldKind::fkData);

    TClientDataSet* DataSet() const { return dataSet_; }
    QString FieldName() const { return objectName(); }
    TFieldType DataType() const { return type_; }
    int Size() const { return size_; }
    TFieldKind FieldKind() const { return kind_; }
    int Index() const;

    // Properties, as the screens set them.
    QString DisplayLabel;   // column title; empty: the field name
    int DisplayWidth = 0;   // characters; 0: from the size
    QString DisplayFormat;  // numbers: "#,##0.000", "0,000" (pt-BR separators)
    QString EditMask;       // edit mask of the editor
    int Tag = 0;
    bool Visible = true;
    bool Required = false;
    bool ReadOnly = false;
    QString Origin;

    // Value of the current record; a null QVariant is a null value.
    QVariant Value() const;
    void SetValue(const QVariant& value);  // runs OnValidate, then OnChange
    bool IsNull() const;
    void Clear() { SetValue(QVariant()); }
    // Value of the current record as last loaded, merged or saved; null for a new row.
    QVariant OldValue() const;

    QString AsString() const;   // dates as dd/MM/yyyy, numbers with a comma
    void SetAsString(const QString& text);  // parses pt-BR text; throws EHostError when it does not fit
    double AsFloat() const;
    void SetAsFloat(double value) { SetValue(value); }
    int AsInteger() const;
    void SetAsInteger(int value) { SetValue(value); }
    QDateTime AsDateTime() const;
    QDate AsDate() const { return AsDateTime().date(); }
    void SetAsDateTime(const QDateTime& value) { SetValue(value); }
    void SetAsDate(const QDate& value) { SetValue(QDateTime(value, QTime(0, 0))); }

    // Text for display (OnGetText with displayText true, else DisplayFormat)
    // and for editing (OnGetText with displayText false, else AsString).
    QString DisplayText() const;
    QString Text() const;
    // What typing in an editor does: OnSetText when set, else SetAsString.
    void SetText(const QString& text);

    // Asks the data-aware control showing this field to put the focus on it.
    void FocusControl();

    std::function<void(TField* sender, QString& text, bool displayText)> OnGetText;
    std::function<void(TField* sender, const QString& text)> OnSetText;
    std::function<void(TField* sender)> OnChange;
    std::function<void(TField* sender)> OnValidate;

private:
    TClientDataSet* dataSet_;
    TFieldType type_;
    int size_;
    TFieldKind kind_;
};

using TDataSetNotifyEvent = std::function<void(TClientDataSet* dataSet)>;

class HOSTFW_EXPORT TClientDataSet : public QObject {
    Q_OBJECT
public:
    explicit TClientDataSet(QObject* owner, const QString& name = QString());
    ~TClientDataSet() override;

    // Fields: declared before the data set opens; a loaded packet fills the
    // declared fields by name (extra packet fields are added as data fields).
    TField* AddField(const QString& name, TFieldType type, int size = 0, TFieldKind kind = TFieldKind::fkData);
    TField* FindField(const QString& name) const;   // nullptr when absent (case-insensitive)
    TField* FieldByName(const QString& name) const; // throws EHostError when absent
    const QList<TField*>& Fields() const { return fields_; }
    int FieldCount() const { return fields_.size(); }

    // State and life.
    TDataSetState State() const { return state_; }
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    virtual void Open();  // opens with the rows it holds (none for a new one)
    virtual void Close(); // drops rows and change log
    void CreateDataSet(); // opens empty
    void EmptyDataSet();  // drops every row and the change log; stays open
    bool IsEmpty() const;
    int RecordCount() const;
    bool Editing() const { return state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert; }
    // True while editing or inserting once a field was set (defaults of OnNewRecord aside).
    bool Modified() const;

    // Navigation; moving while editing posts first.
    int RecNo() const;    // 1-based; 0 when empty
    void MoveTo(int recNo);
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;
    // Positions on the first row whose fields (names separated by ';') equal
    // the values; answers whether one was found.
    bool Locate(const QString& fieldNames, const QVariantList& values, bool caseInsensitive = false);

    // Editing.
    void Insert();   // new row before the current one
    void Append();   // new row at the end
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode();  // posts a pending edit or insert
    // True when the row being inserted holds no value typed by the user
    // (defaults set by OnNewRecord do not count).
    bool InsertedRowUntouched() const;
    // The values set so far in the row being inserted are defaults, as those
    // of OnNewRecord: the row still counts as untouched.
    void MarkInsertedRowUntouched();

    // Packets.
    void SetData(const protocol::json& packet);  // replaces fields' rows; change log cleared; state browse
    protocol::json Data() const;                 // current rows as a data packet
    protocol::json Delta() const;                // the change log as a change packet
    int ChangeCount() const;
    void MergeChangeLog();  // the changed rows become the base rows
    // The values of the packet's first row (its fields found here) become the
    // saved values of the current row: what the server stored it under. Only
    // while browsing with nothing pending; no field events, nothing logged.
    void AdoptSavedRow(const protocol::json& packet);
    void CancelUpdates();   // back to the base rows
    bool LogChanges = true;

    // Rows kept in the order of these fields (names separated by ';').
    QString IndexFieldNames() const { return indexFieldNames_; }
    void SetIndexFieldNames(const QString& names);

    // A saved copy of fields and rows (JSON); LoadFromFile throws EHostError
    // when the file cannot be read or is not such a copy.
    void SaveToFile(const QString& path) const;
    void LoadFromFile(const QString& path);

    // Row access for controls (grids): value of a field in row i (0-based).
    QVariant ValueAt(int row, int fieldIndex) const;
    QString DisplayTextAt(int row, int fieldIndex) const;  // makes row i current for OnGetText, then restores
    int CurrentRow() const { return current_; }           // 0-based; -1 when empty

    // Controls that hold typed text not yet written to the fields (a grid's
    // cell editor) write it when a post starts, before BeforePost; a hook that
    // throws stops the post. Hooks are dropped with their owner.
    void AddUpdateDataHook(QObject* owner, std::function<void()> hook);
    void RemoveUpdateDataHooks(QObject* owner);

    // Record events.
    TDataSetNotifyEvent BeforeInsert, AfterInsert, OnNewRecord, BeforeEdit, AfterEdit, BeforePost, AfterPost,
        BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll, AfterScroll, AfterOpen, AfterClose,
        OnCalcFields;

signals:
    void stateChanged();                 // every state change
    void dataChanged(hostfw::TField* field);  // a field of the current row changed (nullptr: the whole row)
    void rowsChanged();                  // rows added, removed, reloaded or reordered
    // What rowsChanged follows, in detail (for item models): one row added
    // (announced before the rows change), one removed (likewise), one row's
    // values replaced (posted or cancelled), or the whole set reloaded,
    // reordered or emptied.
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowUpdated(int row);
    void rowsReset();
    void scrolled();                     // the current row moved
    void focusFieldRequested(hostfw::TField* field);

private:
    friend class TField;
    friend class TDataSource;
    struct Row;
    struct Impl;
    std::unique_ptr<Impl> d;
    QList<TField*> fields_;
    TDataSetState state_ = TDataSetState::dsInactive;
    int current_ = -1;
    QString indexFieldNames_;
    void setState(TDataSetState state);
};

// Connects a data set to controls; reports its state changes and data changes.
class HOSTFW_EXPORT TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* owner, const QString& name = QString(), TClientDataSet* dataSet = nullptr);
    ~TDataSource() override;
    TClientDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TClientDataSet* dataSet);
    TDataSetState State() const;
    std::function<void(TDataSource* sender)> OnStateChange;
    std::function<void(TDataSource* sender, TField* field)> OnDataChange;

signals:
    void dataSetChanged();

private:
    TClientDataSet* dataSet_ = nullptr;
    QList<QMetaObject::Connection> connections_;
};

} // namespace hostfw
