create table CUSTOMERS (ID integer primary key, NAME varchar(40), CITY varchar(30), CREATED date);
insert into CUSTOMERS values (1, 'Kovač d.o.o.', 'Ljubljana', '2024-03-01');
insert into CUSTOMERS values (2, 'Šumi trgovina', 'Maribor', '2024-05-17');
insert into CUSTOMERS values (3, 'Žaga Novak', 'Celje', '2025-01-09');
insert into CUSTOMERS values (4, 'Pekarna "Pri Mojci"', 'Kranj', '2023-11-30');
insert into CUSTOMERS values (5, 'O''Brien Consulting', 'Koper', '2022-07-04');

create table ORDERS (ID integer primary key, CUSTOMER_ID integer, AMOUNT numeric(12,2), ORDERED date,
                     STATUS char(1), CONTRACT varchar(10));
insert into ORDERS values (101, 1, 1250.50, '2024-03-15', 'P', 'P-2024');
insert into ORDERS values (102, 2, 89.90, '2024-06-02', 'N', 'P-2024');
insert into ORDERS values (103, 3, 15000.00, '2025-02-11', 'X', 'P-2025');
insert into ORDERS values (104, 1, 420.00, '2024-09-20', 'N', 'P-2024');
insert into ORDERS values (105, 5, 3100.75, '2024-12-01', 'P', 'P-2024');
insert into ORDERS values (106, 4, 64.30, '2025-03-03', 'N', 'P-2025');

-- In scripting mode the destination is not written, and the structure of each destination table is
-- read from the source instead: the source holds empty tables of the same shape.
create table KUPCI (SIFRA integer primary key, NAZIV varchar(40), KRAJ varchar(30), REGIJA varchar(4),
                    DATUM date, VIR varchar(20));
create table NAROCILA (ST integer primary key, KUPEC integer, ZNESEK numeric(12,2), DATUM date,
                       STATUS varchar(12), POGODBA varchar(10), IZVOR integer);
