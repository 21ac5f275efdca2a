#pragma once

// A station bulletin database as the Paradox journal writer meets it: the three bulletin tables, the
// staging table Access with its stored query Add_time, and the channel table. The program never creates
// Access and Add_time; a station database brings them.

#include "db/db_test_env.h"

#include <QStringList>

inline void createJournalDatabase(DbConnection &db)
{
    for (const char *sql : kBulletinCreates)
        exec(db, sql);
    exec(db, "create table Access (id counter,[N c/c] varchar(10),[N event] integer,[Data] "
             "varchar(20),[Faza] varchar(10),"
             "[Dev] varchar(10),[Ho] varchar(4),[Min] varchar(4),[Sek] varchar(8),[T] varchar(8),[A E-W] "
             "varchar(8),"
             "[A N-S] varchar(8),[A Z] varchar(8),[S-P] varchar(8),[Del] varchar(8),[M] varchar(8),[Notes] "
             "varchar(60))");
    exec(db, "create view [Add_time] as select [N c/c],[N event],[Data],[Faza],[Dev],[Ho],[Min],[Sek],[T],[A "
             "E-W],[A N-S],[A Z],[S-P],[Del],[M],[Notes] from Access order by id");
    exec(db, "create table [Каналы] (channel_name varchar(10),channel_cod varchar(3))");
    exec(db, "insert into [Каналы] values ('SKM','01')");
    exec(db, "insert into [Каналы] values ('SKD','02')");
}

// Every row, its fields trimmed and joined by "|", NULL as <null>.
inline QStringList journalDbRows(DbConnection &db, const QString &sql)
{
    DbQuery q(&db);
    q.SetSQL(sql);
    q.Open();
    QStringList rows;
    for (; !q.Eof(); q.Next()) {
        QStringList fields;
        for (int i = 0; i < q.FieldCount(); ++i)
            fields << (q.Field(i)->IsNull() ? QStringLiteral("<null>") : q.Field(i)->AsString().trimmed());
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}
