#include "db/table_creates.h"

namespace {

const char *const kBulletinCreates[] = {
    "create table [События] (orid counter,num integer,[time] date,dec integer,lat float,lon float,depdp "
    "integer,deltagr float,deltakm float,seaz float,emares float,S_P_time date,S_P_dec integer,Kps float,"
    "FlagQuake integer,StrQuake varchar(255),comment varchar(150),lddate date,primary key (num))",
    "create table [Станционный бюллетень] (arid counter,N_seismo varchar(20),N_equake integer,Station_Cod "
    "varchar(20),[date] Date,FM char(2),Qual char(10),Interpretation integer,Phase char(10),Channel_name "
    "char(10),Channel_Cod char(3),KPCH integer,Channel_component char(4),[Time] date,[Dec] integer,FM_NS "
    "char(2),FM_EW char(2),FM_Z char(2),FM_Period_NS float,FM_Amp_NS float,FM_Period_EW float,FM_Amp_EW "
    "float,FM_Period_Z float,FM_Amp_Z float,Comments varchar(60),primary key (arid),CONSTRAINT cstb111 "
    "foreign key (N_equake) references [События] (num))",
    "create table [Динамические замеры] (Id_XM counter,arid integer,Channel_nameXM char(10),"
    "Channel_componentXM char(4),Channel_CodXM char(3),TimeXM date,DecXm integer,Period_NS float,Amp_NS "
    "float,Period_EW float,Amp_EW float,Period_Z float,Amp_Z float,Magnitude_NE float,Klass_NE float,"
    "Magnitude_Z float,Klass_Z float,Comments varchar(50),primary key (Id_XM),CONSTRAINT cxm111 foreign key "
    "(arid) references [Станционный бюллетень])",
};

} // namespace

std::span<const char *const> BulletinTableCreates()
{
    return kBulletinCreates;
}
