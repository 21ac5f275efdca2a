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

const char *const kOrxCreates[] = {
    // The first ten columns in this order: the copy into the bulletin database reads them by position.
    "create table origin (eventid varchar(20),lat float,lon float,depth float,origintime float,rms float,"
    "dh float,dz float,comment varchar(80),lddate date,orid integer,mb float,ms float,mbunc float,"
    "msunc float,primary key (eventid))",
    "create table arrival (arid integer,nindex integer,eventid varchar(20),sta varchar(6),chan varchar(8),"
    "iphase varchar(8),itime float,amptime float,flag integer,numb integer,deltim float,slow float,"
    "ema float,rect float,dist float,coda float,mcoda float,remark varchar(30),afiltype varchar(30),"
    "pfiltype varchar(30),mwa float,ml float,wgt float,azimuth float,fm varchar(2),im_em varchar(2),"
    "per float,ampl float,residuals float,ms float,mb float,mpsp float,mplp float,regclass float,"
    "chantype varchar(4),lddate date,primary key (arid))",
    "create table site (sta varchar(6),cod varchar(8),descr varchar(50),lat float,lon float,elev float,"
    "underground float,nindex integer,ngroups integer,DNORTH float,DEAST float,REFSTA varchar(6),"
    "STANAME varchar(50),STATYPE varchar(4),ONDATE date,OFFDATE date,lddate date,primary key (sta))",
    "create table sitechan (sta varchar(6),chan varchar(8),descr varchar(50),primary key (sta,chan))",
    "create table networks (netname varchar(30),netlist varchar(255),primary key (netname))",
    "create table lastid (keyname varchar(15),keyvalue integer,lddate date,primary key (keyname))",
};

} // namespace

std::span<const char *const> BulletinTableCreates()
{
    return kBulletinCreates;
}

std::span<const char *const> OrxTableCreates()
{
    return kOrxCreates;
}
