create table REGIJE (ID varchar(4) primary key, KRAJ varchar(30));
insert into REGIJE values ('LJ', 'Ljubljana');
insert into REGIJE values ('MB', 'Maribor');
insert into REGIJE values ('CE', 'Celje');
insert into REGIJE values ('KR', 'Kranj');
insert into REGIJE values ('KP', 'Koper');

create table KUPCI (SIFRA integer primary key, NAZIV varchar(40), KRAJ varchar(30), REGIJA varchar(4),
                    DATUM date, VIR varchar(20));
create table NAROCILA (ST integer primary key, KUPEC integer, ZNESEK numeric(12,2), DATUM date,
                       STATUS varchar(12), POGODBA varchar(10), IZVOR integer);
