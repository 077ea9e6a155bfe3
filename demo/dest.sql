create table KUPCI (SIFRA integer primary key, NAZIV varchar(40), KRAJ varchar(30), DATUM date);
